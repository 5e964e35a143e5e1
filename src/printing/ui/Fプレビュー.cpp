#include "printing/ui/Fプレビュー.h"

#include "printing/PageRender.h"
#include "printing/PrintableDocument.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

Fプレビュー::Fプレビュー(PrintableDocument *doc, const QPageLayout &layout, std::function<void()> onPrint,
                   QWidget *parent)
    : QDialog(parent), m_doc(doc), m_printer(std::make_unique<QPrinter>(QPrinter::ScreenResolution)),
      m_onPrint(std::move(onPrint))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("印刷プレビュー"));
    setWindowModality(Qt::WindowModal);
    // Only drawn on for the preview, never sent anywhere. The pages are drawn
    // at the screen's resolution: the preview redraws text recorded at a
    // printer's resolution with broken strokes, while the layout of the page
    // is the same at any resolution.
    m_printer->setOutputFormat(QPrinter::PdfFormat);
    m_printer->setPageLayout(layout);

    Preview = new QPrintPreviewWidget(m_printer.get(), this);
    Preview->setViewMode(QPrintPreviewWidget::SinglePageView);
    Preview->setZoomMode(QPrintPreviewWidget::FitInView);
    Cmd前のページ = new QPushButton(QStringLiteral("◀ 前のページ"), this);
    Cmd次のページ = new QPushButton(QStringLiteral("次のページ ▶"), this);
    Lbページ = new QLabel(this);
    Lbページ->setAlignment(Qt::AlignCenter);
    Lbページ->setMinimumWidth(Lbページ->fontMetrics().horizontalAdvance(QStringLiteral("99 / 99 ページ")) + 16);
    Cmd拡大 = new QPushButton(QStringLiteral("拡大"), this);
    Cmd拡大->setCheckable(true);
    Cmd印刷 = new QPushButton(QStringLiteral("印刷"), this);
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

    connect(Preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter *p) { paintPages(p); });
    // Also when scrolling moves to another page.
    connect(Preview, &QPrintPreviewWidget::previewChanged, this, [this] { showPage(); });
    connect(Cmd前のページ, &QPushButton::clicked, this, [this] { Cmd前のページ_Click(); });
    connect(Cmd次のページ, &QPushButton::clicked, this, [this] { Cmd次のページ_Click(); });
    connect(Cmd拡大, &QPushButton::toggled, this, [this](bool wide) {
        Preview->setZoomMode(wide ? QPrintPreviewWidget::FitToWidth : QPrintPreviewWidget::FitInView);
    });
    connect(Cmd印刷, &QPushButton::clicked, this, [this] { Cmd印刷_Click(); });
    connect(Cmd戻る, &QPushButton::clicked, this, [this] { Cmd戻る_Click(); });
    Cmd印刷->setDefault(true);

    // A whole A4 page, legible, within a 1366 x 768 screen.
    QSize size(620, 760);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 40));
    resize(size);
    Preview->updatePreview();
    showPage();
}

// The preview widget draws on the printer until it goes.
Fプレビュー::~Fプレビュー()
{
    delete Preview;
}

void Fプレビュー::paintPages(QPrinter *printer)
{
    if (!m_doc)
        return;
    PrintAidsHidden hidden(*m_doc);
    PaintSheets(*m_doc, DocumentSheets(*m_doc, 1), *printer);
}

int Fプレビュー::pageCount() const
{
    return Preview->pageCount();
}

int Fプレビュー::currentPage() const
{
    return Preview->currentPage();
}

void Fプレビュー::showPage()
{
    const int count = pageCount(), page = currentPage();
    Lbページ->setText(QStringLiteral("%1 / %2 ページ").arg(count ? page : 0).arg(count));
    Cmd前のページ->setEnabled(page > 1);
    Cmd次のページ->setEnabled(page < count);
}

void Fプレビュー::Cmd前のページ_Click()
{
    Preview->setCurrentPage(currentPage() - 1);
    showPage();
}

void Fプレビュー::Cmd次のページ_Click()
{
    Preview->setCurrentPage(currentPage() + 1);
    showPage();
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
