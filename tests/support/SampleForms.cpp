#include "SampleForms.h"
#include "PdfPages.h"

#include "app/Units.h"
#include "document/ui/FM.h"
#include "printing/ui/FMPrintable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>

namespace {

constexpr int kInk = 170; // grey below this is ink

const QString kLong = QStringLiteral(
    "長い記載の確認：この欄には枠に収まらないほど長い文章が入っています。折り返した行も枠の外にはみ出した部分も、"
    "画面と同じように紙に出なければなりません。");

// A text that, word-wrapped in the element's box, runs well below it.
QString Overflowing(const DocLabel &e)
{
    const QFontMetrics metrics(e.pixelFont());
    const QRect box(0, 0, std::max(1, e.width()), 100000);
    QString text = kLong;
    while (metrics.boundingRect(box, Qt::TextWordWrap, text).height() < 2 * e.height() + 20)
        text += kLong;
    return text;
}

bool IsInk(QRgb p)
{
    return qGray(p) < kInk;
}

struct Ink
{
    int count = 0;
    QPointF centre; // of the ink
};

Ink InkIn(const QImage &image, const QRect &r)
{
    Ink ink;
    const QRect area = r & image.rect();
    double sx = 0, sy = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if (IsInk(line[x])) {
                ++ink.count;
                sx += x;
                sy += y;
            }
        }
    }
    if (ink.count)
        ink.centre = QPointF(sx / ink.count, sy / ink.count);
    return ink;
}

// The page band an element belongs to: 0 for page 1, else the page line above it.
int PageTop(FM &doc, int y)
{
    int top = 0;
    for (const DocLine &line : doc.LinePage)
        if (line.y1 <= y && line.y1 > top)
            top = line.y1;
    return top;
}

// The lowest element of the family on every page.
QList<DocLabel *> LowestPerPage(FM &doc, const QVector<DocLabel *> &family)
{
    QMap<int, DocLabel *> lowest;
    for (DocLabel *e : family) {
        if (e->isHidden())
            continue;
        const int page = PageTop(doc, e->twipTop());
        if (!lowest.contains(page) || lowest[page]->twipTop() < e->twipTop())
            lowest[page] = e;
    }
    return lowest.values();
}

} // namespace

QStringList SampleKinds()
{
    QStringList kinds;
    const QDir ini(TestHome::sampleData() + QStringLiteral("/ini"));
    for (const QFileInfo &f : ini.entryInfoList({QStringLiteral("*.ini")}, QDir::Files, QDir::Name))
        if (f.completeBaseName().compare(QStringLiteral("setting"), Qt::CaseInsensitive) != 0)
            kinds << f.completeBaseName();
    return kinds;
}

SampleFormsHome::SampleFormsHome()
    : AppHome(true)
{
    setDoctor(QStringLiteral("1"), QStringLiteral("山田　太郎"));
    TestPatient p;
    p.id = QStringLiteral("20231187");
    p.name = QStringLiteral("長谷川　千代子右衛門");
    p.kana = QStringLiteral("ハセガワ　チヨコウエモン");
    p.sex = 2;
    p.birth = 19410223;
    p.era = QStringLiteral("昭和");
    p.eraYear = QStringLiteral("16");
    p.address = QStringLiteral("北海道札幌市中央区北一条西二十三丁目四番五号　グランドメゾン円山公園前第三ビル一二〇三号室");
    p.age = 85;
    setPatient(p);
    loadMainWindow();
}

FM *SampleFormsHome::buildFilled(const QString &kind)
{
    FM *doc = build(kind);
    if (!doc)
        return nullptr;
    FillLikeADoctor(*doc);
    doc->更新チェック更新();
    return doc;
}

void FillLikeADoctor(FM &doc)
{
    int texts = 0;
    for (DocLabel *field : doc.LbItem) {
        if (field->isHidden())
            continue;
        if (field->LinkItem == QStringLiteral("1") && field->DataField.isEmpty() && ++texts % 5 == 0)
            field->setText(QString()); // some stay empty
        else if (field->DataField == QStringLiteral("Date_Y"))
            field->setText(QStringLiteral("2026"));
        else if (field->DataField == QStringLiteral("Date_M"))
            field->setText(QStringLiteral("12"));
        else if (field->DataField == QStringLiteral("Date_D"))
            field->setText(QStringLiteral("08"));
        else if (field->DataField == QStringLiteral("プラマイ"))
            field->setText(QStringLiteral("±"));
        else if (field->LinkItem == QStringLiteral("0"))
            field->setText(QStringLiteral("128"));
        else if (field->LinkItem == QStringLiteral("2"))
            field->setText(QStringLiteral("高血圧症にて内服加療中。\n"
                                          "令和八年十一月より胸部不快感があり、精査を行いました。心電図、心エコーで"
                                          "明らかな異常は認めませんでした。\n引き続き経過を観察いたします。"));
        else if (field->text().isEmpty())
            field->setText(QStringLiteral("記入例 ") + field->Tag);
    }
    for (int i = 0; i < doc.ImgCheck.size(); i += 2)
        if (!doc.ImgCheck[i]->isHidden())
            doc.ImgCheck_Click(i);
    for (const auto *family : {&doc.Label, &doc.LbItem, &doc.LbKanja_Data})
        for (DocLabel *e : LowestPerPage(doc, *family))
            e->setText(Overflowing(*e));
    // A word too long for any line: it runs out of its box sideways.
    for (DocLabel *e : doc.Label)
        if (!e->isHidden() && e->index > 0 && !e->text().contains(kLong)) {
            e->setText(QStringLiteral("Pneumonoultramicroscopicsilicovolcanoconiosis-Hepaticocholangiocholecystenterostomy"));
            break;
        }
}

QList<PageElement> InkedElements(FM &doc)
{
    QList<PageElement> all;
    const struct
    {
        const char *name;
        const QVector<DocLabel *> *family;
    } families[] = {{"Label", &doc.Label},
                    {"LbItem", &doc.LbItem},
                    {"LbKanja_Data", &doc.LbKanja_Data},
                    {"ImgCheck", &doc.ImgCheck}};
    for (const auto &f : families)
        for (const DocLabel *e : *f.family)
            if (!e->isHidden())
                all << PageElement{QStringLiteral("%1(%2) %3").arg(QLatin1String(f.name)).arg(e->index).arg(e->text().left(12)),
                                   e->twips()};
    for (const DocLine &line : doc.LineG) {
        if (!line.visible || line.style == LineTransparent)
            continue;
        const int w = int(PxToTwips(line.width));
        all << PageElement{QStringLiteral("LineG(%1)").arg(line.index),
                           QRect(QPoint(line.x1, line.y1), QPoint(line.x2, line.y2)).normalized().adjusted(-w, -w, w, w),
                           0.1};
    }
    return all;
}

QImage ScreenBand(FM &doc, int topTwips, int heightTwips)
{
    FMPrintable &printable = FMPrintable::of(doc);
    printable.setEditingAidsVisible(false);
    const QImage band =
        doc.canvas()->grab(TwipsToPx(QRect(0, topTwips, doc.pageWidth(), heightTwips))).toImage();
    printable.setEditingAidsVisible(true);
    return band.convertToFormat(QImage::Format_RGB32);
}

QPoint PaperOffset(const QImage &paper, const QImage &screen)
{
    const QImage a = paper.convertToFormat(QImage::Format_Grayscale8);
    const QImage b = screen.convertToFormat(QImage::Format_Grayscale8);
    // Roughly on shrunk pages first, then to the pixel.
    QPoint coarse;
    PageDifference(paper, screen, &coarse);
    double best = std::numeric_limits<double>::max();
    QPoint at = coarse;
    for (int dy = std::max(0, coarse.y() - 4); dy <= coarse.y() + 4; ++dy)
        for (int dx = std::max(0, coarse.x() - 4); dx <= coarse.x() + 4; ++dx) {
            const int w = std::min(b.width(), a.width() - dx), h = std::min(b.height(), a.height() - dy);
            if (w <= 0 || h <= 0)
                continue;
            double sum = 0;
            for (int y = 0; y < h; y += 2) {
                const uchar *pa = a.constScanLine(y + dy) + dx;
                const uchar *pb = b.constScanLine(y);
                for (int x = 0; x < w; x += 2)
                    sum += std::abs(int(pa[x]) - int(pb[x]));
            }
            sum /= double(w) * h;
            if (sum < best) {
                best = sum;
                at = QPoint(dx, dy);
            }
        }
    return at;
}

QStringList ElementsMissingOnPaper(const QImage &screen, const QImage &paper, QPoint offset,
                                   const QList<PageElement> &elements, int bandTopTwips)
{
    const QImage s = screen.convertToFormat(QImage::Format_RGB32);
    const QImage p = paper.convertToFormat(QImage::Format_RGB32);
    QStringList missing;
    constexpr int slack = 3; // pixels of shift allowed (anti-aliasing, rounding of the placement)
    for (const PageElement &e : elements) {
        const QRect r = TwipsToPx(e.twips.translated(0, -bandTopTwips)) & s.rect();
        if (r.isEmpty())
            continue;
        const Ink onScreen = InkIn(s, r);
        if (onScreen.count < 4)
            continue;
        // Counted with room for a shift; placed within the box alone, where
        // the ink of neighbours does not pull.
        const Ink onPaper = InkIn(p, r.translated(offset).adjusted(-slack, -slack, slack, slack));
        const QPointF paperCentre = InkIn(p, r.translated(offset)).centre - QPointF(offset);
        const bool enough = onPaper.count * 2 >= onScreen.count;
        const bool samePlace = onPaper.count
                               && std::abs(paperCentre.x() - onScreen.centre.x()) <= slack + e.drift * r.width()
                               && std::abs(paperCentre.y() - onScreen.centre.y()) <= slack + e.drift * r.height();
        if (!enough || !samePlace)
            missing << QStringLiteral("%1: screen %2 ink around %3,%4; paper %5 around %6,%7")
                           .arg(e.name)
                           .arg(onScreen.count)
                           .arg(onScreen.centre.x(), 0, 'f', 1)
                           .arg(onScreen.centre.y(), 0, 'f', 1)
                           .arg(onPaper.count)
                           .arg(paperCentre.x(), 0, 'f', 1)
                           .arg(paperCentre.y(), 0, 'f', 1);
    }
    return missing;
}

double InkOutsideBand(const QImage &paper, QPoint offset, QSize bandPx)
{
    const QImage p = paper.convertToFormat(QImage::Format_RGB32);
    const QRect band = QRect(offset, bandPx).adjusted(-2, -2, 2, 2);
    long long ink = 0, all = 0;
    for (int y = 0; y < p.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(p.constScanLine(y));
        for (int x = 0; x < p.width(); ++x) {
            if (band.contains(x, y))
                continue;
            ++all;
            ink += IsInk(line[x]);
        }
    }
    return all ? double(ink) / double(all) : 0;
}
