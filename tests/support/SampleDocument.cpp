#include "SampleDocument.h"

#include "app/Units.h"
#include "printing/ui/PrintJob.h"

#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>

namespace {
constexpr int kWidthTwips = 10800;

QLabel *addText(QWidget *parent, const QString &text, int x, int y, int w, int h, double pt)
{
    auto *label = new QLabel(text, parent);
    QFont font(QStringLiteral("ＭＳ 明朝"));
    font.setPointSizeF(pt);
    label->setFont(font);
    label->setGeometry(TwipsToPx(QRect(x, y, w, h)));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(pal);
    return label;
}
}

SampleDocument::SampleDocument(const QList<int> &pageLines, int heightTwips)
    : m_pageLines(pageLines)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(TwipsToPx(QPoint(kWidthTwips, heightTwips)).x(), TwipsToPx(QPoint(0, heightTwips)).y());

    addText(this, QStringLiteral("診療情報提供書"), 2880, 720, 6000, 700, 24);
    addText(this, QStringLiteral("紹介先：ライドル総合病院　内科"), 1440, 2160, 7200, 400, 12);
    addText(this, QStringLiteral("山田　太郎　様"), 1440, 3600, 4320, 400, 14);
    m_frames << QRect(1430, 3590, 4345, 425);
    marker = addText(this, QStringLiteral("▼"), 5800, 3600, 300, 300, 10);
    QPalette pal = marker->palette();
    pal.setColor(QPalette::WindowText, QColor(255, 0, 0));
    marker->setPalette(pal);
    addText(this, QStringLiteral("２ページ目　経過と所見"), 1440, 17280, 7200, 500, 16);
    addText(this, QStringLiteral("血圧 128/76 mmHg、投薬継続。"), 1440, 18720, 7200, 400, 12);
    m_frames << QRect(1430, 18710, 7225, 425);

    editor = new QPlainTextEdit(QStringLiteral("編集中の文字"), this);
    editor->setGeometry(TwipsToPx(QRect(1440, 5040, 4320, 600)));

    m_drawing = QImage(size(), QImage::Format_RGB32);
    m_drawing.fill(Qt::white);
    if (m_drawing.isNull())
        return;
    QPainter p(&m_drawing);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 110, 0), 4));
    p.drawEllipse(TwipsToPx(QRect(3000, 7000, 4000, 3000)));
    p.setPen(QPen(QColor(0, 0, 0), 3));
    p.drawLine(TwipsToPx(QPoint(1500, 21000)), TwipsToPx(QPoint(9000, 26000)));
    p.setPen(QPen(QColor(0, 110, 0), 6));
    p.drawEllipse(TwipsToPx(QRect(5000, 27000, 2500, 2500)));
}

QSize SampleDocument::pageSizeTwips() const
{
    return QSize(int(PxToTwips(width())), int(PxToTwips(height())));
}

void SampleDocument::setEditingAidsVisible(bool visible)
{
    ++(visible ? aidsShown : aidsHidden);
    aidsVisible = visible;
    marker->setVisible(visible);
    update();
}

void SampleDocument::hideEditor()
{
    ++editorHidden;
    editor->hide();
}

void SampleDocument::render(QPainter &painter, const QRect &sourceTwips)
{
    rendered << sourceTwips;
    aidsVisibleAtRender << aidsVisible;
    editorVisibleAtRender << !editor->isHidden();
    RenderWidgetTwips(this, painter, sourceTwips);
}

QList<QRect> SampleDocument::childGeometries() const
{
    QList<QRect> all;
    for (const QObject *o : children())
        if (const auto *w = qobject_cast<const QWidget *>(o))
            all << w->geometry();
    return all;
}

QImage SampleDocument::screenBand(int topTwips, int heightTwips)
{
    const bool aids = aidsVisible, markerOn = !marker->isHidden(), editorOn = !editor->isHidden();
    aidsVisible = false;
    marker->hide();
    editor->hide();
    const QImage band = grab(TwipsToPx(QRect(0, topTwips, kWidthTwips, heightTwips))).toImage();
    aidsVisible = aids;
    marker->setVisible(markerOn);
    editor->setVisible(editorOn);
    return band;
}

void SampleDocument::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, m_drawing);
    p.setPen(QPen(Qt::black, 1));
    for (int y : {1800, 3000, 4500, 18000, 20000})
        p.drawLine(TwipsToPx(QPoint(1440, y)), TwipsToPx(QPoint(9360, y)));
    if (!aidsVisible)
        return;
    p.setPen(QPen(QColor(255, 0, 0), 1));
    for (const QRect &r : m_frames)
        p.drawRect(TwipsToPx(r));
    p.setPen(QPen(QColor(255, 0, 0), 2));
    for (int y : m_pageLines)
        p.drawLine(0, TwipsToPx(y), width(), TwipsToPx(y));
}
