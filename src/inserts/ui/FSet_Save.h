#pragma once
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The template-phrase editor: adds a phrase, or changes or deletes the one
// chosen in the picker. Its tag is the ID of the phrase being edited as
// decimal text, "0" for a new phrase. Saving, deleting and cancelling hand
// back to a freshly loaded picker.
class FSet_Save : public QWidget
{
public:
    // The shared editor, created when it is not loaded; not shown.
    static FSet_Save *load();
    static FSet_Save *showShared();
    static FSet_Save *loaded();
    static void unload();

    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    QLabel *LabelClass;
    QComboBox *CbClass;
    QLabel *LabelValue;
    QPlainTextEdit *TxtValue;
    QPushButton *Cmd登録;
    QPushButton *Cmd削除;
    QPushButton *Cmdキャンセル;

    void Cmd登録_Click();
    void Cmd削除_Click();
    void Cmdキャンセル_Click();

protected:
    // The close box does what ｷｬﾝｾﾙ does.
    void closeEvent(QCloseEvent *event) override;

private:
    FSet_Save();
    void backToPicker();

    QString m_tag;
};
