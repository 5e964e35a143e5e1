#pragma once
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;

// The start window: the user chooses the doctor who is working and goes on to
// the saved documents, the patient selection or the settings. It stays loaded
// for the whole run and is only hidden and shown again.
class FStart : public QWidget
{
public:
    explicit FStart(QWidget *parent = nullptr);

    // The one instance of the run, created on first use.
    static FStart &shared();

    // Fills the doctor list and preselects the remembered default doctor.
    void Form_Load();
    // Takes the doctor chosen in ComboDr as the current doctor and hides the
    // window. False, after telling the user, when no doctor is chosen. A
    // doctor with a password signs in first (false when not), and is then
    // offered the drafts (false when one was restored: the main window shows it).
    bool Set_Dr();
    // Asks the password of the doctor chosen in ComboDr, when that doctor has
    // one and has not signed in since the window was last shown. True when
    // the doctor may go on.
    bool SignIn();
    // Shows the window as it was left. The doctor list is reloaded only when
    // doctors were added, renamed or deleted meanwhile; the chosen doctor
    // stays chosen as long as it is still in the list.
    void showAgain();

    // Asks about the documents the doctor selected in ComboDr left unsaved
    // by a crash, over this window (for a doctor with a password, only once
    // signed in). Yes takes that doctor (Set_Dr) and opens
    // the restored document in the main window; true then.
    bool OfferDrafts();
    // The user chose a doctor in ComboDr.
    void ComboDr_Click();

    void Cmd完了データ_Click();
    void Cmd保留データ_Click();
    void Cmd患者選択_Click();
    void Cmd設定_Click();
    void Cmd終了_Click();

    // How 終了 ends the program; tests replace it.
    std::function<void()> endProgram;

    QComboBox *ComboDr;
    QLabel *Label;
    QCheckBox *CheckDefaultDr;
    QToolButton *Cmd完了データ;
    QToolButton *Cmd保留データ;
    QToolButton *Cmd患者選択;
    QPushButton *Cmd設定;
    QPushButton *Cmd終了;

protected:
    // The close box ends the program like 終了: with the start window gone no
    // window would be left to end it from.
    void closeEvent(QCloseEvent *event) override;

private:
    void fillDoctors();
    void selectDoctor(int id);
    bool signedIn() const;

    int m_doctorsRevision = -1;
    // The doctor who signed in since the window was last shown (0: none).
    int m_signedInId = 0;
};
