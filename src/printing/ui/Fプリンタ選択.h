#pragma once
#include <QDialog>
#include <QPointer>
#include <QStringList>

class PrintableDocument;
class Fプレビュー;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// Printer selection: choose a printer and the copies, then print the
// document page by page. Shown without being modal; it deletes itself when
// closed, and closes by itself when the document's window goes away (give
// that window as parent).
class Fプリンタ選択 : public QDialog
{
public:
    explicit Fプリンタ選択(PrintableDocument *doc, QWidget *parent = nullptr);

    // Form_Load with an explicit printer list (tests); the constructor runs it
    // with the installed printers.
    void loadPrinters(const QStringList &installed, const QString &defaultName);

    void Comboプリンタ名_Click(int index);
    void UpDown_UpClick();
    void UpDown_DownClick();
    void Cmd印刷_Click();
    void Cmdキャンセル_Click();
    // Shows the pages as they will print on the chosen printer; the user
    // prints from there (as with 印刷) or comes back here. Without a printer
    // it shows them on the paper of the PDF export.
    void Cmdプレビュー_Click();

    QComboBox *Comboプリンタ名;
    QLineEdit *Txt部数;
    QWidget *UpDown;
    QToolButton *UpDownUp;
    QToolButton *UpDownDown;
    QPushButton *Cmd印刷;
    QPushButton *Cmdキャンセル;
    QPushButton *Cmdプレビュー; // "プレビュー"
    // The open preview, if any.
    Fプレビュー *preview() const;
    QLabel *Lbプリンタなし; // "プリンタがありません" when nothing is installed

    // The printer the next print goes to (the combo box's selected entry).
    QString currentPrinter() const;

    // Printing itself, replaceable in tests: (document, printer, copies, error).
    using PrintFunction = bool (*)(PrintableDocument &, const QString &, int, QString *);
    void setPrintFunction(PrintFunction f) { m_print = f; }

private:
    PrintableDocument *m_doc;
    QPointer<QObject> m_docObject;
    bool m_storedMissing = false;
    bool m_userChose = false;
    PrintFunction m_print;
    QPointer<Fプレビュー> m_preview;
};
