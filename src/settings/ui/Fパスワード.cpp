#include "settings/ui/Fパスワード.h"

#include "settings/DoctorPasswords.h"
#include "storage/AuditTrail.h"
#include "storage/DatabaseFailure.h"
#include "ui/Placement.h"
#include "ui/Prompter.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit *passwordBox(QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setEchoMode(QLineEdit::Password);
    box->setMinimumWidth(220);
    return box;
}

QString explanation(Fパスワード::Mode mode, const QString &name)
{
    const QString who = QStringLiteral("『") + name + QStringLiteral("』");
    switch (mode) {
    case Fパスワード::Mode::NewPassword:
        return who + QStringLiteral("の新しいパスワードを入力してください。");
    case Fパスワード::Mode::Unlock:
        return QStringLiteral("しばらく操作がなかったため、ロックしました。\n") + who
             + QStringLiteral("のパスワードを入力してください。");
    default:
        return who + QStringLiteral("のパスワードを入力してください。");
    }
}

} // namespace

Fパスワード::Fパスワード(Mode mode, int doctorId, const QString &doctorName, QWidget *parent)
    : QDialog(parent)
    , m_mode(mode)
    , m_doctorId(doctorId)
{
    setWindowTitle(QStringLiteral("パスワード"));
    Lb説明 = new QLabel(explanation(mode, doctorName), this);
    Txtパスワード = passwordBox(this);
    Txt確認 = mode == Mode::NewPassword ? passwordBox(this) : nullptr;
    CmdOK = new QPushButton(QStringLiteral("OK"), this);
    Cmdキャンセル = new QPushButton(QStringLiteral("キャンセル"), this);
    CmdOK->setDefault(true);

    auto *form = new QFormLayout;
    if (Txt確認) {
        form->addRow(QStringLiteral("新しいパスワード"), Txtパスワード);
        form->addRow(QStringLiteral("確認"), Txt確認);
    } else {
        form->addRow(QStringLiteral("パスワード"), Txtパスワード);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addWidget(Cmdキャンセル);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Lb説明);
    layout->addLayout(form);
    layout->addLayout(buttons);

    if (mode == Mode::Unlock) {
        // Over every window of the program, whatever is open in them.
        Cmdキャンセル->hide();
        setWindowFlag(Qt::WindowStaysOnTopHint);
        setWindowFlag(Qt::WindowCloseButtonHint, false);
    }
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(Cmdキャンセル, &QPushButton::clicked, this, [this] { reject(); });
}

bool Fパスワード::ask(Mode mode, int doctorId, const QString &doctorName, QString *chosen)
{
    Fパスワード window(mode, doctorId, doctorName, OwnerWindow());
    window.setWindowModality(Qt::ApplicationModal);
    PlaceOver(&window, window.parentWidget());
    const bool done = window.exec() == QDialog::Accepted;
    if (done && chosen)
        *chosen = window.Txtパスワード->text();
    return done;
}

void Fパスワード::CmdOK_Click()
{
    if (m_mode != Mode::NewPassword) {
        checkPassword();
        return;
    }
    if (Txtパスワード->text().isEmpty()) {
        prompter().message(QStringLiteral("パスワードを入力してください。"));
        Txtパスワード->setFocus();
        return;
    }
    if (Txtパスワード->text() != Txt確認->text()) {
        prompter().message(QStringLiteral("パスワードが一致しません。"));
        Txt確認->clear();
        Txt確認->setFocus();
        return;
    }
    accept();
}

void Fパスワード::checkPassword()
{
    ClearDatabaseFailure();
    const PasswordCheck check = CheckDoctorPassword(m_doctorId, Txtパスワード->text());
    Txtパスワード->clear();
    Txtパスワード->setFocus();
    switch (check.outcome) {
    case PasswordCheck::Accepted:
        if (m_mode == Mode::SignIn || m_mode == Mode::Unlock)
            WriteAudit(m_mode == Mode::SignIn ? audit::SignIn() : audit::Unlock(), QString::number(m_doctorId),
                       QString(), 0, QString());
        accept();
        return;
    case PasswordCheck::Wrong:
        prompter().message(QStringLiteral("パスワードが違います"));
        return;
    case PasswordCheck::LockedOut:
        prompter().message(QStringLiteral("パスワードを%1回間違えたため、%2 までロックされています。")
                               .arg(kMaxPasswordTries)
                               .arg(check.lockedUntil.toString(QStringLiteral("HH:mm"))));
        break;
    case PasswordCheck::Failed: {
        const QString reason = DatabaseFailureReason();
        prompter().message(QStringLiteral("パスワードを確かめられませんでした。")
                           + (reason.isEmpty() ? QString() : u'\n' + reason));
        break;
    }
    }
    // Locked out or not checked: the start window and the settings get the
    // doctor back; after the idle lock only the password goes on.
    reject();
}

void Fパスワード::reject()
{
    if (m_mode == Mode::Unlock)
        return;
    QDialog::reject();
}
