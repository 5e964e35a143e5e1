#include "settings/ui/F設定.h"
#include "settings/ui/F操作履歴.h"

#include "ui/Navigation.h"
#include "ui/Placement.h"
#include "ui/Prompter.h"
#include "settings/DoctorPasswords.h"
#include "settings/Doctors.h"
#include "settings/ui/Fパスワード.h"
#include "storage/Ini.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString kSettingFile = QStringLiteral("setting");
const QString kDoctorNamePrompt = QStringLiteral("医師名を入力して下さい。");
const QString kNotSaved = QStringLiteral("保存できませんでした。");
const QString kSaved = QStringLiteral("設定を保存しました。");

} // namespace

F設定::F設定(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("設定"));
    SSTab = new QTabWidget(this);
    SSTab->addTab(buildGeneralPage(), QStringLiteral("一般設定"));
    SSTab->addTab(buildDoctorPage(), QStringLiteral("医師リスト"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SSTab);
    setMinimumSize(520, 320);

    connect(Cmd初期設定適用, &QPushButton::clicked, this, [this] { Cmd初期設定適用_Click(); });
    connect(Cmd操作履歴, &QPushButton::clicked, this, [this] { Cmd操作履歴_Click(); });
    connect(CmdDr追加, &QPushButton::clicked, this, [this] { CmdDr追加_Click(); });
    connect(CmdDr変更, &QPushButton::clicked, this, [this] { CmdDr変更_Click(); });
    connect(CmdDr削除, &QPushButton::clicked, this, [this] { CmdDr削除_Click(); });
    connect(CmdDrパスワード, &QPushButton::clicked, this, [this] { CmdDrパスワード_Click(); });
    connect(CmdDrパスワード削除, &QPushButton::clicked, this, [this] { CmdDrパスワード削除_Click(); });

    Form_Load();
}

QWidget *F設定::buildGeneralPage()
{
    auto *page = new QWidget;
    Txt病院名 = new QLineEdit(page);
    Txt郵便番号 = new QLineEdit(page);
    Txt住所 = new QLineEdit(page);
    TxtTEL = new QLineEdit(page);
    TxtFAX = new QLineEdit(page);
    Txt郵便番号->setMaximumWidth(140);
    TxtTEL->setMaximumWidth(220);
    TxtFAX->setMaximumWidth(220);
    Cmd初期設定適用 = new QPushButton(QStringLiteral("適用"), page);
    Cmd操作履歴 = new QPushButton(QStringLiteral("操作履歴"), page);

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(QStringLiteral("病院名"), Txt病院名);
    form->addRow(QStringLiteral("郵便番号"), Txt郵便番号);
    form->addRow(QStringLiteral("住所"), Txt住所);
    form->addRow(QStringLiteral("TEL"), TxtTEL);
    form->addRow(QStringLiteral("FAX"), TxtFAX);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Cmd操作履歴);
    buttons->addStretch(1);
    buttons->addWidget(Cmd初期設定適用);

    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addLayout(buttons);
    return page;
}

QWidget *F設定::buildDoctorPage()
{
    auto *page = new QWidget;
    ListDr = new QListWidget(page);
    CmdDr追加 = new QPushButton(QStringLiteral("追加"), page);
    CmdDr変更 = new QPushButton(QStringLiteral("変更"), page);
    CmdDr削除 = new QPushButton(QStringLiteral("削除"), page);
    CmdDrパスワード = new QPushButton(QStringLiteral("パスワード設定"), page);
    CmdDrパスワード削除 = new QPushButton(QStringLiteral("パスワード削除"), page);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(CmdDr追加);
    buttons->addWidget(CmdDr変更);
    buttons->addWidget(CmdDr削除);
    buttons->addSpacing(12);
    buttons->addWidget(CmdDrパスワード);
    buttons->addWidget(CmdDrパスワード削除);
    buttons->addStretch(1);

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(ListDr, 1);
    layout->addLayout(buttons);
    return page;
}

F設定 &F設定::shared()
{
    static F設定 *instance = new F設定;
    return *instance;
}

void F設定::openFresh(const QWidget *owner)
{
    Form_Load();
    ShowOver(this, owner ? owner : OwnerWindow());
}

void F設定::Form_Load()
{
    Txt病院名->setText(ReadIni(kSettingFile, QStringLiteral("病院名")));
    Txt郵便番号->setText(ReadIni(kSettingFile, QStringLiteral("〒")));
    Txt住所->setText(ReadIni(kSettingFile, QStringLiteral("住所")));
    TxtTEL->setText(ReadIni(kSettingFile, QStringLiteral("TEL")));
    TxtFAX->setText(ReadIni(kSettingFile, QStringLiteral("FAX")));
    DrList_Load();
}

void F設定::DrList_Load()
{
    ListDr->clear();
    for (const DoctorEntry &doctor : ActiveDoctors(true)) {
        auto *item = new QListWidgetItem(doctor.name, ListDr);
        item->setData(Qt::UserRole, doctor.id);
    }
}

void F設定::CmdDr追加_Click()
{
    const auto name = prompter().input(kDoctorNamePrompt);
    if (!name || name->isEmpty())
        return;
    if (!AddDoctor(*name))
        prompter().message(kNotSaved);
    DrList_Load();
}

QListWidgetItem *F設定::selectedDoctor() const
{
    QListWidgetItem *item = ListDr->currentItem();
    return item && item->isSelected() ? item : nullptr;
}

void F設定::CmdDr変更_Click()
{
    QListWidgetItem *item = selectedDoctor();
    if (!item)
        return;
    const int id = item->data(Qt::UserRole).toInt();
    const auto name = prompter().input(kDoctorNamePrompt, AppTitle(), item->text());
    if (!name || name->isEmpty())
        return;
    if (!RenameDoctor(id, *name))
        prompter().message(kNotSaved);
    DrList_Load();
}

void F設定::CmdDr削除_Click()
{
    QListWidgetItem *item = ListDr->currentItem();
    if (item && !item->isSelected())
        item = nullptr;
    const QString name = item ? item->text() : QString();
    if (!prompter().question(QStringLiteral("『") + name + QStringLiteral("』を削除してもいいですか？")))
        return;
    if (item && !MarkDoctorDeleted(item->data(Qt::UserRole).toInt()))
        prompter().message(kNotSaved);
    DrList_Load();
}

void F設定::CmdDrパスワード_Click()
{
    const QListWidgetItem *item = selectedDoctor();
    if (!item)
        return;
    const int id = item->data(Qt::UserRole).toInt();
    // Only who knows the password changes it.
    if (DoctorHasPassword(id) && !Fパスワード::ask(Fパスワード::Mode::Confirm, id, item->text()))
        return;
    QString password;
    if (!Fパスワード::ask(Fパスワード::Mode::NewPassword, id, item->text(), &password))
        return;
    prompter().message(SetDoctorPassword(id, password) ? QStringLiteral("パスワードを設定しました。") : kNotSaved);
}

void F設定::CmdDrパスワード削除_Click()
{
    const QListWidgetItem *item = selectedDoctor();
    if (!item)
        return;
    const int id = item->data(Qt::UserRole).toInt();
    const QString who = QStringLiteral("『") + item->text() + QStringLiteral("』");
    if (!DoctorHasPassword(id)) {
        prompter().message(who + QStringLiteral("にはパスワードがありません。"));
        return;
    }
    if (!Fパスワード::ask(Fパスワード::Mode::Confirm, id, item->text())
        || !prompter().question(who + QStringLiteral("のパスワードを削除してもいいですか？")))
        return;
    prompter().message(RemoveDoctorPassword(id) ? QStringLiteral("パスワードを削除しました。") : kNotSaved);
}

void F設定::Cmd操作履歴_Click()
{
    F操作履歴 &trail = F操作履歴::shared();
    trail.Cmd検索_Click();
    ShowOver(&trail, this);
}

void F設定::Cmd初期設定適用_Click()
{
    const std::pair<QString, QLineEdit *> keys[] = {
        {QStringLiteral("〒"), Txt郵便番号},
        {QStringLiteral("病院名"), Txt病院名},
        {QStringLiteral("住所"), Txt住所},
        {QStringLiteral("TEL"), TxtTEL},
        {QStringLiteral("FAX"), TxtFAX},
    };
    IniEntries entries;
    for (const auto &[key, box] : keys)
        entries.push_back({key, box->text()});
    prompter().message(WriteIni(kSettingFile, entries) == 0 ? kNotSaved : kSaved);
}

void F設定::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (nav().showStart)
        nav().showStart();
}

void F設定::keyPressEvent(QKeyEvent *event)
{
    // Esc closes the window as its close box does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
