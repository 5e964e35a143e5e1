#include "app/ui/FStart.h"

#include "app/AppState.h"
#include "ui/Navigation.h"
#include "ui/Prompter.h"
#include "app/ui/StartIcons.h"
#include "settings/DoctorPasswords.h"
#include "settings/Doctors.h"
#include "settings/ui/Fパスワード.h"
#include "storage/UserSettings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kApp = QStringLiteral("RL");
const QString kSection = QStringLiteral("ST");
const QString kDefaultDr = QStringLiteral("DefaultDr");

QToolButton *pictureButton(const QString &text, const QIcon &icon, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setText(text);
    button->setIcon(icon);
    button->setIconSize(QSize(48, 48));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setMinimumSize(110, 90);
    return button;
}

} // namespace

FStart::FStart(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Rydol"));
    endProgram = [] { QCoreApplication::exit(0); };

    Label = new QLabel(QStringLiteral("Dr."), this);
    ComboDr = new QComboBox(this);
    ComboDr->setEditable(false);
    ComboDr->setMinimumWidth(220);
    ComboDr->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Label->setBuddy(ComboDr);
    CheckDefaultDr = new QCheckBox(QStringLiteral("医師を記憶する"), this);

    Cmd完了データ = pictureButton(QStringLiteral("終了データ"), FinishedDocumentsIcon(), this);
    Cmd保留データ = pictureButton(QStringLiteral("保留データ"), PendingDocumentsIcon(), this);
    Cmd患者選択 = pictureButton(QStringLiteral("患者選択"), PatientSelectIcon(), this);
    Cmd設定 = new QPushButton(QStringLiteral("設定"), this);
    Cmd終了 = new QPushButton(QStringLiteral("終了"), this);
    Cmd設定->setAutoDefault(false);
    Cmd終了->setAutoDefault(false);

    auto *doctorRow = new QHBoxLayout;
    doctorRow->addWidget(Label);
    doctorRow->addWidget(ComboDr, 1);
    doctorRow->addSpacing(12);
    doctorRow->addWidget(CheckDefaultDr);

    auto *dataRow = new QHBoxLayout;
    dataRow->addWidget(Cmd完了データ);
    dataRow->addWidget(Cmd保留データ);
    dataRow->addWidget(Cmd患者選択);

    auto *bottomRow = new QHBoxLayout;
    bottomRow->addStretch(1);
    bottomRow->addWidget(Cmd設定);
    bottomRow->addWidget(Cmd終了);

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(doctorRow);
    layout->addSpacing(8);
    layout->addLayout(dataRow);
    layout->addSpacing(8);
    layout->addLayout(bottomRow);

    // Only the user's choice: the list is also filled and set by the program.
    connect(ComboDr, &QComboBox::activated, this, [this] { ComboDr_Click(); });
    connect(Cmd完了データ, &QToolButton::clicked, this, [this] { Cmd完了データ_Click(); });
    connect(Cmd保留データ, &QToolButton::clicked, this, [this] { Cmd保留データ_Click(); });
    connect(Cmd患者選択, &QToolButton::clicked, this, [this] { Cmd患者選択_Click(); });
    connect(Cmd設定, &QPushButton::clicked, this, [this] { Cmd設定_Click(); });
    connect(Cmd終了, &QPushButton::clicked, this, [this] { Cmd終了_Click(); });

    Form_Load();
}

FStart &FStart::shared()
{
    static FStart *instance = new FStart;
    return *instance;
}

void FStart::fillDoctors()
{
    ComboDr->clear();
    for (const DoctorEntry &doctor : ActiveDoctors(false))
        ComboDr->addItem(doctor.name, doctor.id);
    ComboDr->setCurrentIndex(-1);
    m_doctorsRevision = DoctorsRevision();
}

// With duplicate IDs the last matching entry stays selected.
void FStart::selectDoctor(int id)
{
    for (int i = 0; i < ComboDr->count(); ++i)
        if (ComboDr->itemData(i).toInt() == id)
            ComboDr->setCurrentIndex(i);
}

void FStart::Form_Load()
{
    fillDoctors();
    const QString stored = GetSetting(kApp, kSection, kDefaultDr).trimmed();
    bool isNumber = false;
    const int id = stored.toInt(&isNumber);
    if (isNumber)
        selectDoctor(id);
}

bool FStart::Set_Dr()
{
    if (ComboDr->currentText().isEmpty() || ComboDr->currentIndex() < 0) {
        prompter().message(QStringLiteral("医師を選択してください"));
        return false;
    }
    if (!signedIn()) {
        if (!SignIn())
            return false;
        // Now that it is the doctor, what the doctor left unsaved is offered;
        // a restored document opens in the main window instead.
        if (OfferDrafts())
            return false;
    }
    const QString id = QString::number(ComboDr->currentData().toInt());
    CurrentDrID = id;
    CurrentDrName = ComboDr->currentText();
    if (CheckDefaultDr->isChecked())
        SaveSetting(kApp, kSection, kDefaultDr, id);
    hide();
    return true;
}

void FStart::showAgain()
{
    if (m_doctorsRevision != DoctorsRevision()) {
        const bool chosen = ComboDr->currentIndex() >= 0;
        const int id = ComboDr->currentData().toInt();
        fillDoctors();
        if (chosen)
            selectDoctor(id);
    }
    // Whoever comes to the start window signs in again.
    m_signedInId = 0;
    show();
    raise();
    activateWindow();
}

bool FStart::signedIn() const
{
    const int id = ComboDr->currentData().toInt();
    return id == m_signedInId || !DoctorHasPassword(id);
}

bool FStart::SignIn()
{
    if (signedIn())
        return true;
    const int id = ComboDr->currentData().toInt();
    if (!Fパスワード::ask(Fパスワード::Mode::SignIn, id, ComboDr->currentText()))
        return false;
    m_signedInId = id;
    return true;
}

bool FStart::OfferDrafts()
{
    if (ComboDr->currentIndex() < 0 || !nav().recoverDrafts)
        return false;
    // A doctor who signs in is asked only after signing in: answering No
    // discards what was left.
    if (!signedIn())
        return false;
    return nav().recoverDrafts(QString::number(ComboDr->currentData().toInt()), [this] { return Set_Dr(); });
}

void FStart::ComboDr_Click()
{
    OfferDrafts();
}

void FStart::Cmd完了データ_Click()
{
    if (!Set_Dr())
        return;
    if (nav().showSaveList)
        nav().showSaveList(true);
}

void FStart::Cmd保留データ_Click()
{
    if (!Set_Dr())
        return;
    if (nav().showSaveList)
        nav().showSaveList(false);
}

void FStart::Cmd患者選択_Click()
{
    if (!Set_Dr())
        return;
    if (nav().showPatientEntry)
        nav().showPatientEntry();
}

void FStart::Cmd設定_Click()
{
    if (nav().showSettings)
        nav().showSettings();
    hide();
}

void FStart::Cmd終了_Click()
{
    if (endProgram)
        endProgram();
}

void FStart::closeEvent(QCloseEvent *event)
{
    event->accept();
    Cmd終了_Click();
}
