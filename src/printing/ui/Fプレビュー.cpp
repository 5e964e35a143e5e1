#include "printing/ui/Fプレビュー.h"

#include "app/Units.h"
#include "printing/PageRender.h"
#include "printing/PrintableDocument.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kScreenDpi = 1440.0 / kTwipsPerPixel; // 96
constexpr int kOversample = 2;
constexpr int kGround = 12; // grey around the sheet, pixels
const QColor kPaperEdge(96, 96, 96);

} // namespace

// The sheet shown: the page image inside a one-pixel line at the paper's
// edge, on the grey ground of the scroll area.
class PreviewSheet : public QWidget
{
public:
    using QWidget::QWidget;

    void setImage(const QImage &image)
    {
        m_image = image;
        resize(image.size() + QSize(2 * kGround + 2, 2 * kGround + 2));
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        if (m_image.isNull())
            return;
        const QRect paper(QPoint(kGround + 1, kGround + 1), m_image.size());
        painter.drawImage(paper.topLeft(), m_image);
        painter.setPen(kPaperEdge);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(paper.adjusted(-1, -1, 0, 0));
    }

private:
    QImage m_image;
};

// Tells the preview when its room changed, so the sheet fits again.
class PreviewArea : public QScrollArea
{
public:
    PreviewArea(std::function<void()> resized, QWidget *parent)
        : QScrollArea(parent), m_resized(std::move(resized))
    {
        setAlignment(Qt::AlignCenter);
        setBackgroundRole(QPalette::Dark);
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QScrollArea::resizeEvent(event);
        if (m_resized)
            m_resized();
    }

private:
    std::function<void()> m_resized;
};

Fプレビュー::Fプレビュー(PrintableDocument *doc, const QPageLayout &layout, std::function<void()> onPrint,
                   QWidget *parent)
    : QDialog(parent), m_doc(doc), m_layout(layout), m_onPrint(std::move(onPrint))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("印刷プレビュー"));
    setWindowModality(Qt::WindowModal);

    // Every sheet is drawn once, now, and shown at any size from then on.
    if (m_doc) {
        PrintAidsHidden hidden(*m_doc);
        for (const PrintSheet &sheet : DocumentSheets(*m_doc, 1)) {
            QPicture picture;
            QPainter painter(&picture);
            PaintSheet(*m_doc, sheet, painter, m_layout.paintRectPixels(96).height());
            painter.end();
            m_pages << picture;
        }
    }

    m_sheet = new PreviewSheet;
    m_sheet->setBackgroundRole(QPalette::Dark);
    Preview = new PreviewArea([this] { fit(); }, this);
    Preview->setWidget(m_sheet);
    Cmd前のページ = new QPushButton(QStringLiteral("◀ 前のページ"), this);
    Cmd次のページ = new QPushButton(QStringLiteral("次のページ ▶"), this);
    Lbページ = new QLabel(this);
    Lbページ->setAlignment(Qt::AlignCenter);
    Lbページ->setMinimumWidth(Lbページ->fontMetrics().horizontalAdvance(QStringLiteral("99 / 99 ページ")) + 16);
    Cmd拡大 = new QPushButton(QStringLiteral("拡大"), this);
    Cmd拡大->setCheckable(true);
    Cmd印刷 = new QPushButton(QStringLiteral("印刷"), this);
    Cmd印刷->setVisible(bool(m_onPrint));
    Cmd戻る = new QPushButton(QStringLiteral("戻る"), this);

    auto *bar = new QHBoxLayout;
    bar->addWidget(Cmd前のページ);
    bar->addWidget(Lbページ);
    bar->addWidget(Cmd次のページ);
    bar->addSpacing(12);
    bar->addWidget(Cmd拡大);
    bar->addStretch(1);
    bar->addWidget(Cmd印刷);
    bar->addWidget(Cmd戻る);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(bar);
    outer->addWidget(Preview, 1);

    connect(Cmd前のページ, &QPushButton::clicked, this, [this] { Cmd前のページ_Click(); });
    connect(Cmd次のページ, &QPushButton::clicked, this, [this] { Cmd次のページ_Click(); });
    connect(Cmd拡大, &QPushButton::toggled, this, [this] { fit(); });
    connect(Cmd印刷, &QPushButton::clicked, this, [this] { Cmd印刷_Click(); });
    connect(Cmd戻る, &QPushButton::clicked, this, [this] { Cmd戻る_Click(); });
    (m_onPrint ? Cmd印刷 : Cmd戻る)->setDefault(true);

    // A whole A4 page, legible, within a 1366 x 768 screen.
    QSize size(620, 760);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 40));
    resize(size);
    showPage();
}

int Fプレビュー::pageCount() const
{
    return int(m_pages.size());
}

int Fプレビュー::currentPage() const
{
    return pageCount() ? m_page : 0;
}

QImage Fプレビュー::pageImage(int page, double scale) const
{
    if (page < 1 || page > pageCount() || scale <= 0)
        return {};
    const QRectF paper = m_layout.fullRect(QPageLayout::Inch);
    const QRectF printable = m_layout.paintRect(QPageLayout::Inch);
    const double dots = kScreenDpi * scale;
    const QSize size(std::max(1, int(std::lround(paper.width() * dots))),
                     std::max(1, int(std::lround(paper.height() * dots))));
    // Drawn at twice the size and shrunk: letters come out as on paper rather
    // than fitted to the screen's pixels.
    QImage image(size * kOversample, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    painter.scale(scale * kOversample, scale * kOversample);
    painter.translate((printable.topLeft() - paper.topLeft()) * kScreenDpi);
    painter.drawPicture(QPointF(0, 0), m_pages[page - 1]);
    painter.end();
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The sheet at the size the room and 拡大 ask for: the whole paper in view,
// or the paper's width across the view.
void Fプレビュー::fit()
{
    const QSizeF paper = m_layout.fullRect(QPageLayout::Inch).size() * kScreenDpi;
    if (paper.isEmpty())
        return;
    const QSize room = Preview->viewport()->size() - QSize(2 * kGround + 2, 2 * kGround + 2);
    double scale = room.width() / paper.width();
    if (Cmd拡大->isChecked())
        scale = (room.width() - Preview->verticalScrollBar()->sizeHint().width()) / paper.width();
    else
        scale = std::min(scale, room.height() / paper.height());
    scale = std::max(scale, 0.05);
    if (m_shownPage == m_page && std::abs(m_shownScale - scale) < 1e-6)
        return;
    m_sheet->setImage(pageImage(m_page, scale));
    m_shownPage = m_page;
    m_shownScale = scale;
}

void Fプレビュー::showPage()
{
    const int count = pageCount(), page = currentPage();
    Lbページ->setText(QStringLiteral("%1 / %2 ページ").arg(page).arg(count));
    Cmd前のページ->setEnabled(page > 1);
    Cmd次のページ->setEnabled(page < count);
    fit();
}

void Fプレビュー::Cmd前のページ_Click()
{
    if (m_page > 1) {
        --m_page;
        showPage();
    }
}

void Fプレビュー::Cmd次のページ_Click()
{
    if (m_page < pageCount()) {
        ++m_page;
        showPage();
    }
}

void Fプレビュー::Cmd印刷_Click()
{
    const auto print = m_onPrint;
    const bool hasDocument = m_doc != nullptr;
    close();
    if (print && hasDocument)
        print();
}

void Fプレビュー::Cmd戻る_Click()
{
    close();
}

void Fプレビュー::forgetDocument()
{
    m_doc = nullptr;
    close();
}
