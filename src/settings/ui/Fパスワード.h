#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The small window that asks a doctor's password: to sign in from the start
// window, to confirm the current password before it is changed, to go on
// after the idle lock, or twice for a new password.
class Fパスワード : public QDialog
{
public:
    enum class Mode {
        SignIn,      // OK or キャンセル; the sign-in is recorded in 操作履歴
        Confirm,     // the same without the record (before a change)
        Unlock,      // no way out but the password; the unlock is recorded
        NewPassword, // two boxes that must agree, nothing is checked
    };

    Fパスワード(Mode mode, int doctorId, const QString &doctorName, QWidget *parent = nullptr);

    // Shows the window modal over everything until it is done. True when the
    // password was right (NewPassword: given twice alike, then in *chosen).
    static bool ask(Mode mode, int doctorId, const QString &doctorName, QString *chosen = nullptr);

    void CmdOK_Click();
    // Unlock: neither Esc nor the close box end the window.
    void reject() override;

    QLabel *Lb説明;
    QLineEdit *Txtパスワード;
    QLineEdit *Txt確認; // NewPassword only
    QPushButton *CmdOK;
    QPushButton *Cmdキャンセル;

private:
    void checkPassword();

    Mode m_mode;
    int m_doctorId;
};
