#pragma once
#include <QDialog>
#include <QPageLayout>
#include <functional>
#include <memory>

class PrintableDocument;
class QLabel;
class QPrinter;
class QPrintPreviewWidget;
class QPushButton;

// Print preview: the pages of one copy exactly as printing lays them out on
// the chosen printer's paper, drawn by the same renderer. The user turns the
// pages, prints from here or goes back to the printer selection. Modal to
// its parent window, so the document does not change underneath.
class Fプレビュー : public QDialog
{
public:
    // onPrint runs when the user prints from the preview (after it closed).
    Fプレビュー(PrintableDocument *doc, const QPageLayout &layout, std::function<void()> onPrint,
              QWidget *parent = nullptr);
    ~Fプレビュー() override;

    QPrintPreviewWidget *Preview;
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
    // The document went away: nothing more is drawn; the preview closes.
    void forgetDocument();

    // The paper the pages are laid out on.
    const QPrinter &printer() const { return *m_printer; }

private:
    void paintPages(QPrinter *printer);
    void showPage();

    PrintableDocument *m_doc;
    std::unique_ptr<QPrinter> m_printer; // outlives Preview, which draws on it
    std::function<void()> m_onPrint;
};
