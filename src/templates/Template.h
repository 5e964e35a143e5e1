#pragma once
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// One document template (DATA/ini/<kind>.ini) parsed into typed element
// descriptions. Every property read from a field is optional: a field that is
// missing or does not convert is nullopt, and the builder then leaves the
// element at its default (element 0's current value). A text field that is
// present but empty is an empty QString, not nullopt.
//
// Element n of a family is index n of its vector. Positions and sizes are in
// twips; colours are the int form (red + 256*green + 65536*blue).

// Fields 0-3 (left, top, width, height) are applied as one move: all four
// convert or the whole rectangle is nullopt.
using TemplateRect = std::optional<QRect>;

// label_<n> and the common part of lbItem_<n> / lbKanja_Data_<n>.
struct TemplateTextElement
{
    QStringList fields;                  // the raw value split at "|"
    TemplateRect geometry;               // fields 0-3
    std::optional<int> alignment;        // field 4: 0 left, 1 right, 2 centred
    std::optional<QString> text;         // field 5 (never set for patient fields)
    std::optional<QString> fontName;     // field 6
    std::optional<double> fontSize;      // field 7, points
    std::optional<long long> textColor;  // field 8
    std::optional<int> tabIndex;         // field 9
    std::optional<QString> tag;          // field 10
};

// label_<n>: fixed text.
struct TemplateLabel : TemplateTextElement
{
};

// lbItem_<n>: input field.
struct TemplateItem : TemplateTextElement
{
    std::optional<QString> dataKind;     // field 11: "0" number, "1" text, "2" memo
    std::optional<QString> clickAction;  // field 12: "Date_Y", "Date_M", "Date_D", "プラマイ", ...

    // The custom pointer is shown for a non-empty click action.
    bool hasClickAction() const { return clickAction && !clickAction->isEmpty(); }
};

// lbKanja_Data_<n>: patient-data field; field 5 is ignored (text stays nullopt).
struct TemplatePatientField : TemplateTextElement
{
};

// lbList_<n>: "▼" value-list button.
struct TemplateListButton
{
    QStringList fields;
    TemplateRect geometry;               // fields 0-3
    std::optional<QString> tag;          // field 4: tag of the lbItem_ that receives the value
    std::optional<QString> listName;     // field 5: メニュー.Item key, also the tooltip
};

// LineG_<n> and LinePage_<n>. The coordinates are applied one by one.
struct TemplateLine
{
    QStringList fields;
    std::optional<int> x1;               // field 0
    std::optional<int> y1;               // field 1
    std::optional<int> x2;               // field 2
    std::optional<int> y2;               // field 3
    std::optional<long long> color;      // field 4
    std::optional<int> style;            // field 5: 0 transparent .. 6 inside solid
    std::optional<int> width;            // field 6, pixels
};

// ImgCheck_<n>: check box.
struct TemplateCheck
{
    QStringList fields;
    TemplateRect geometry;               // fields 0-3
    std::optional<QString> tag;          // field 4
    std::optional<QString> state;        // field 5 as written ("0", "1", ...)
    // Field 5 as a number: 0 unchecked, any other number checked; nullopt
    // when it is missing or not a number.
    std::optional<bool> checked;

    // The state to keep on the element: "1" checked, "0" otherwise.
    QString stateText() const { return checked.value_or(false) ? QStringLiteral("1") : QStringLiteral("0"); }
};

struct Template
{
    QString kind;
    int width = 0;                       // "Width" by the Val rule, twips
    int height = 0;                      // "Height" by the Val rule, twips

    QVector<TemplateLabel> labels;               // label_
    QVector<TemplateItem> items;                 // lbItem_
    QVector<TemplatePatientField> patientFields; // lbKanja_Data_
    QVector<TemplateListButton> listButtons;     // lbList_
    QVector<TemplateLine> lines;                 // LineG_
    QVector<TemplateLine> pageLines;             // LinePage_
    QVector<TemplateCheck> checks;               // ImgCheck_

    bool hasPageLines() const { return !pageLines.isEmpty(); }
};
