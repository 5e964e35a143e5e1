#pragma once
#include <QDialog>
#include <QList>
#include <QPageLayout>
#include <QPicture>
#include <functional>

class PrintableDocument;
class PreviewSheet;
class QImage;
class QLabel;
class QPushButton;
class QScrollArea;

// Print preview: the pages of one copy exactly as printing lays them out on
// the chosen paper, drawn by the same renderer. One sheet is shown at a time,
// the whole paper with the document where the printer puts it (at the
// top-left of the printable area); the paper's edge is its only frame. The
// user turns the pages, prints from here or goes back to the printer
// selection. Modal to its parent window, so the document does not change
// underneath.
class Fプレビュー : public QDialog
{
public:
    // onPrint runs when the user prints from the preview (after it closed);
    // without it there is nothing to print on and 印刷 is not offered.
    Fプレビュー(PrintableDocument *doc, const QPageLayout &layout, std::function<void()> onPrint,
              QWidget *parent = nullptr);

    QScrollArea *Preview;      // the sheet on a grey ground, scrolled when larger
    QPushButton *Cmd前のページ;
    QPushButton *Cmd次のページ;
    QLabel *Lbページ;          // "1 / 2 ページ"
    QPushButton *Cmd拡大;      // checked: the page fills the width, else it fits whole
    QPushButton *Cmd印刷;
    QPushButton *Cmd戻る;

    int pageCount() const;
    int currentPage() const; // from 1
    void Cmd前のページ_Click();
    void Cmd次のページ_Click();
    void Cmd印刷_Click();
    void Cmd戻る_Click();
    // The document went away: the preview closes.
    void forgetDocument();

    // The paper the pages are laid out on.
    const QPageLayout &pageLayout() const { return m_layout; }
    // Page page (from 1) on the whole paper, white, at scale times 96 dots
    // to the inch; null when there is no such page.
    QImage pageImage(int page, double scale) const;

private:
    void showPage();
    void fit();

    PrintableDocument *m_doc;
    QPageLayout m_layout;
    QList<QPicture> m_pages; // each sheet as drawn, in screen pixels from the printable area's corner
    int m_page = 1;
    int m_shownPage = 0; // the page and scale the sheet holds now
    double m_shownScale = 0;
    PreviewSheet *m_sheet;
    std::function<void()> m_onPrint;
};
