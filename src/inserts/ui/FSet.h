#pragma once
#include <QWidget>
#include <functional>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The template-phrase picker: choose a class, pick phrases, insert them at the
// cursor of the field being edited in the document window. Exists at most
// once; loading it fills the class list, unloading destroys it.
class FSet : public QWidget
{
public:
    // The shared picker, created when it is not loaded; not shown.
    static FSet *load();
    // Loads (if needed) and shows the picker.
    static FSet *showShared();
    // The loaded picker, or nullptr.
    static FSet *loaded();
    static void unload();
    // Where "挿入" puts the phrases: the document window's in-place editor while
    // it edits a field, nullptr otherwise. Set once by whoever owns that window.
    static void setInsertTarget(std::function<QPlainTextEdit *()> target);

    QLabel *LabelClass;
    QListWidget *ListSetName;
    QLabel *LabelValue;
    QListWidget *ListSet;
    QLabel *LabelHint;
    QPushButton *CmdOK;
    QPushButton *CmdAllSel;
    QPushButton *Cmd追加;
    QPushButton *Cmdキャンセル;

    // The class whose phrases ListSet shows (set by LoadPhrases).
    QString phraseClass;

    void ListSetName_Click();
    void CmdAllSel_Click();
    void CmdOK_Click();
    void ListSet_DblClick();
    void Cmd追加_Click();
    void Cmdキャンセル_Click();

protected:
    // The close box does what ｷｬﾝｾﾙ does.
    void closeEvent(QCloseEvent *event) override;

private:
    FSet();
};
