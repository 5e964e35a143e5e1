#include "templates/ui/BuildDocument.h"

#include "app/Units.h"
#include "document/ui/DocumentHost.h"
#include "document/ui/FM.h"
#include "storage/AppPaths.h"
#include "storage/Ini.h"
#include "templates/KindTable.h"
#include "templates/PageLimits.h"
#include "templates/TemplateReader.h"
#include "ui/Prompter.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <algorithm>
#include <array>
#include <vector>

namespace {

void ApplyGeometry(DocLabel *e, const TemplateTextElement &t)
{
    if (t.geometry)
        e->setTwips(*t.geometry);
}

void ApplyTextProperties(DocLabel *e, const TemplateTextElement &t, bool withText)
{
    if (t.alignment && *t.alignment >= 0 && *t.alignment <= 2)
        e->setAlignment(*t.alignment);
    if (withText && t.text)
        e->setText(*t.text);
    if (t.fontName && !t.fontName->isEmpty())
        e->setFontName(*t.fontName);
    if (t.fontSize)
        e->setFontSize(*t.fontSize);
    if (t.textColor)
        e->setForeColor(ColorFromInt(*t.textColor));
    if (t.tabIndex)
        e->tabIndex = *t.tabIndex;
    if (t.tag)
        e->Tag = *t.tag;
}

void ApplyLine(DocLine &line, const TemplateLine &t)
{
    if (t.x1)
        line.x1 = *t.x1;
    if (t.y1)
        line.y1 = *t.y1;
    if (t.x2)
        line.x2 = *t.x2;
    if (t.y2)
        line.y2 = *t.y2;
    if (t.color)
        line.color = ColorFromInt(*t.color);
    if (t.style && *t.style >= 0 && *t.style <= 6)
        line.style = *t.style;
    if (t.width && *t.width >= 0)
        line.width = *t.width;
    line.visible = true;
}

// The page is hidden while it is built: elements loaded for it show with it.
constexpr FM::Loaded kShownWithPage = FM::Loaded::ShownWithPage;

void ShowElement(DocLabel *e)
{
    if (e->isHidden())
        e->show();
}

void BuildFamilies(FM &w, const Template &t)
{
    for (int n = 0; n < t.labels.size(); ++n) {
        DocLabel *e = w.LoadLabel(n, kShownWithPage);
        ApplyGeometry(e, t.labels[n]);
        ApplyTextProperties(e, t.labels[n], true);
        ShowElement(e);
    }

    for (int n = 0; n < t.items.size(); ++n) {
        const TemplateItem &item = t.items[n];
        DocLabel *e = w.LoadLbItem(n, kShownWithPage);
        ApplyGeometry(e, item);
        DocShape &frame = w.LoadShape枠(n);
        frame.twips = QRect(e->twipLeft() - 10, e->twipTop() - 10, e->twipWidth() + 25, e->twipHeight() + 25);
        frame.visible = true;
        ApplyTextProperties(e, item, true);
        if (item.dataKind)
            e->LinkItem = *item.dataKind;
        if (item.clickAction)
            e->DataField = *item.clickAction;
        // A field that does something when clicked shows a hand; the others
        // show the page's own pointer (element 0 sets none for its copies).
        if (item.hasClickAction())
            e->setCursor(Qt::PointingHandCursor);
        ShowElement(e);
    }

    for (int n = 0; n < t.patientFields.size(); ++n) {
        DocLabel *e = w.LoadLbKanja_Data(n, kShownWithPage);
        ApplyGeometry(e, t.patientFields[n]);
        ApplyTextProperties(e, t.patientFields[n], false);
        ShowElement(e);
    }

    for (int n = 0; n < t.listButtons.size(); ++n) {
        const TemplateListButton &list = t.listButtons[n];
        DocLabel *e = w.LoadLbList(n, kShownWithPage);
        if (list.geometry)
            e->setTwips(*list.geometry);
        if (list.tag)
            e->Tag = *list.tag;
        if (list.listName)
            e->setToolTip(*list.listName);
        ShowElement(e);
    }

    for (int n = 0; n < t.lines.size(); ++n)
        ApplyLine(w.LoadLineG(n), t.lines[n]);

    w.LinePage[0].Tag = QString();
    for (int n = 0; n < t.pageLines.size(); ++n) {
        w.LinePage[0].Tag = QStringLiteral("1");
        ApplyLine(w.LoadLinePage(n), t.pageLines[n]);
    }

    const QPixmap checked(DataPath(QStringLiteral("icon/check.gif")));
    const QPixmap unchecked(DataPath(QStringLiteral("icon/uncheck.gif")));
    for (int n = 0; n < t.checks.size(); ++n) {
        const TemplateCheck &check = t.checks[n];
        DocLabel *e = w.LoadImgCheck(n, kShownWithPage);
        if (check.geometry)
            e->setTwips(*check.geometry);
        if (check.tag)
            e->Tag = *check.tag;
        e->DataField = check.stateText();
        const QPixmap &picture = e->DataField == QStringLiteral("1") ? checked : unchecked;
        if (!picture.isNull())
            e->setPicture(picture);
        ShowElement(e);
    }
}

void FillPatientFields(FM &w)
{
    const DocumentHost *head = documentHost();
    if (!head)
        return;
    const QList<QPair<QString, QString>> values = head->patientValues();
    for (DocLabel *field : w.LbKanja_Data)
        for (const auto &[tag, text] : values)
            if (tag == field->Tag)
                field->setText(text);
    // The document belongs to the patient whose values it shows.
    for (const auto &[tag, text] : values) {
        if (tag == u"患者番号")
            w.患者番号 = text;
        else if (tag == u"患者名")
            w.患者名 = text;
    }
}

void FillFixedSourceFields(FM &w)
{
    const QString author = documentHost() ? documentHost()->authorName() : QString();
    const IniSection setting = IniSection::load(QStringLiteral("setting"));
    const QDate today = QDate::currentDate();
    const std::pair<const char16_t *, QString> sources[] = {
        {u"My医師名", author},
        {u"My病院名", setting.value(QStringLiteral("病院名"))},
        {u"記載者", author},
        {u"My郵便番号", setting.value(QStringLiteral("〒"))},
        {u"My住所", setting.value(QStringLiteral("住所"))},
        {u"MyTEL", setting.value(QStringLiteral("TEL"))},
        {u"MyFAX", setting.value(QStringLiteral("FAX"))},
        {u"日付Y", QString::number(today.year())},
        {u"日付M", QStringLiteral("%1").arg(today.month(), 2, 10, QLatin1Char('0'))},
        {u"日付D", QStringLiteral("%1").arg(today.day(), 2, 10, QLatin1Char('0'))},
    };
    for (const auto &[tag, value] : sources)
        if (DocLabel *field = w.LI(QString::fromUtf16(tag)))
            field->setText(value);
}

// Makes the kind's table on its first opening, and adds the columns of
// fields and check boxes the template has gained since. Fields that can get
// no column are named, once per opening.
void MakeKindTable(FM &w, const QString &kind)
{
    QList<KindColumnSource> fields;
    QStringList problems;
    for (const DocLabel *item : w.LbItem) {
        fields.append({item->Tag, item->LinkItem});
        if (const QString problem = DataKindProblem(fields.back()); !problem.isEmpty() && !problems.contains(problem))
            problems << problem;
    }
    QStringList checkTags;
    for (const DocLabel *check : w.ImgCheck)
        checkTags << check->Tag;
    QString reason;
    QStringList message;
    if (KindColumnsPresent(fields, checkTags, w.StoredColumns)) {
        // Reopened from a row that has every column: nothing to make.
    } else if (KindTableExists(kind)) {
        if (!ExtendKindTable(kind, fields, checkTags, nullptr, &reason))
            message << QStringLiteral("この書類の表に新しい欄の列を足せないため、保存できません。\n") + reason;
    } else if (!CreateKindTable(kind, fields, checkTags, &reason) && !reason.isEmpty()) {
        message << QStringLiteral("この書類の表を作れないため、保存できません。\n") + reason;
    }
    if (!problems.isEmpty())
        message << problems.join(u'\n')
                       + QStringLiteral("\nこの欄には列がないため、テンプレートを直すまでこの書類は保存できません。");
    if (!message.isEmpty())
        prompter().message(message.join(u'\n'));
}

void MakeImageFolder(const QString &kind)
{
    // The kind names a folder below pic_save and nothing else; a folder of
    // another letter case is the kind's folder already.
    if (kind.isEmpty() || kind == QStringLiteral(".") || kind == QStringLiteral("..")
        || kind.contains(QLatin1Char('/')) || kind.contains(QLatin1Char('\\')))
        return;
    const QString folder = FolderIgnoringCase(DataPath(QStringLiteral("pic_save")), kind);
    if (!QFileInfo::exists(folder))
        QDir().mkpath(folder);
}

} // namespace

bool BuildDocument(const QString &kind, const std::function<void(FM &)> &beforeShown)
{
    const Template t = ReadTemplate(kind);
    if (!PageSizeAccepted(t.width, t.height)) {
        prompter().message(QStringLiteral("書類の大きさ（幅 %1、高さ %2 twip）が上限（幅 %3、高さ %4 twip）を超えているため、開けません。")
                               .arg(t.width)
                               .arg(t.height)
                               .arg(kMaxPageWidthTwips)
                               .arg(kMaxPageHeightTwips));
        return false;
    }
    if (!UnloadFM())
        return false;
    FM &w = fmInstance();
    QMdiSubWindow *sub = w.subWindow();
    if (sub)
        sub->hide();
    w.Tag = kind;
    w.setWindowTitle(kind);

    w.setPageSize(t.width, t.height);
    BuildFamilies(w, t);
    FillPatientFields(w);
    FillFixedSourceFields(w);
    BuildTabOrder(w);
    w.StoredColumns.clear();
    if (beforeShown)
        beforeShown(w);

    if (sub)
        sub->show();
    else
        w.show();
    w.Form_Resize();
    w.refreshCanvas();

    MakeKindTable(w, kind);
    MakeImageFolder(kind);
    return true;
}

void BuildTabOrder(FM &window)
{
    window.LVTabIndex.clear();
    // The last eight characters of the number with zeros in front
    // (-500 gives "0000-500").
    auto pad = [](int v, char *out) {
        char digits[12];
        int n = 0;
        unsigned magnitude = v < 0 ? 0u - unsigned(v) : unsigned(v);
        do {
            digits[n++] = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude);
        if (v < 0)
            digits[n++] = '-';
        for (int i = 0; i < 8; ++i)
            out[7 - i] = i < n ? digits[i] : '0';
    };
    // Sorted as bytes, the keys are made strings once in their final order.
    struct Row
    {
        std::array<char, 17> key;
        int index;
    };
    std::vector<Row> rows;
    rows.reserve(window.LbItem.size());
    for (const DocLabel *item : window.LbItem) {
        Row row;
        pad(item->twipTop(), row.key.data());
        row.key[8] = ':';
        pad(item->twipLeft(), row.key.data() + 9);
        row.index = item->index;
        rows.push_back(row);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.key < b.key; });
    window.LVTabIndex.reserve(qsizetype(rows.size()));
    for (const Row &row : rows)
        window.LVTabIndex.append({QString::number(row.index), QString::fromLatin1(row.key.data(), 17)});
}
