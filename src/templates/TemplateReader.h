#pragma once
#include "templates/Template.h"

#include <QStringList>

class IniSection;

// Reads DATA/ini/<kind>.ini in one pass. Never fails: a missing file gives an
// empty template of 0 x 0 twips.
Template ReadTemplate(const QString &kind);
// The same for a template's [DATA] section already read.
Template TemplateFromSection(const QString &kind, const IniSection &section);

// Parses one value of a family (the text after "key=") on its own.
TemplateLabel ParseLabel(const QString &value);
TemplateItem ParseItem(const QString &value);
TemplatePatientField ParsePatientField(const QString &value);
TemplateListButton ParseListButton(const QString &value);
TemplateLine ParseLine(const QString &value);
TemplateCheck ParseCheck(const QString &value);

// The document kinds: base names of DATA/ini/*.ini except the file named
// exactly "setting.ini", sorted by file name.
QStringList TemplateKinds();
