#pragma once
#include <QWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QKeyEvent;
class QPushButton;
class QTabWidget;

// The settings dialog: the hospital data printed on every document (setting.ini)
// and the list of doctors (table 医師). Closing it brings the start window back.
class F設定 : public QWidget
{
public:
    explicit F設定(QWidget *parent = nullptr);

    // The one instance of the run, created on first use.
    static F設定 &shared();

    // Loads the dialog afresh and shows it: edits that were not applied before
    // the dialog was last closed are gone.
    void openFresh(const QWidget *owner = nullptr);

    void Form_Load();
    void DrList_Load();

    void CmdDr追加_Click();
    void CmdDr変更_Click();
    void CmdDr削除_Click();
    // Sets or (after the current one) changes the selected doctor's password.
    void CmdDrパスワード_Click();
    // Removes it, after the current one.
    void CmdDrパスワード削除_Click();
    void Cmd初期設定適用_Click();
    // Shows the audit trail window.
    void Cmd操作履歴_Click();

    QTabWidget *SSTab;
    QLineEdit *Txt病院名;
    QLineEdit *Txt郵便番号;
    QLineEdit *Txt住所;
    QLineEdit *TxtTEL;
    QLineEdit *TxtFAX;
    QPushButton *Cmd初期設定適用;
    QPushButton *Cmd操作履歴;
    QListWidget *ListDr;
    QPushButton *CmdDr追加;
    QPushButton *CmdDr変更;
    QPushButton *CmdDr削除;
    QPushButton *CmdDrパスワード;
    QPushButton *CmdDrパスワード削除;

protected:
    // Form_Unload: the start window comes back.
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *buildGeneralPage();
    QWidget *buildDoctorPage();
    // The doctor selected in ListDr, nullptr when none.
    QListWidgetItem *selectedDoctor() const;
};
