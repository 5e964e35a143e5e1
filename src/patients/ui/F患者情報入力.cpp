#include "patients/ui/F患者情報入力.h"

#include "app/AppState.h"
#include "ui/Navigation.h"
#include "ui/Placement.h"
#include "ui/InputMethodSwitch.h"
#include "ui/NumberInput.h"
#include "ui/Prompter.h"
#include "patients/Patient.h"
#include "patients/PatientStore.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Set on the rows of LV患者リスト that stand for a patient (not on "該当無し").
constexpr int kPatientRowRole = Qt::UserRole + 1;

QString LastTwo(const QString &text)
{
    return (QStringLiteral("0") + text).right(2);
}

QLabel *RequiredMark(QWidget *parent)
{
    auto *mark = new QLabel(QStringLiteral("*"), parent);
    mark->setStyleSheet(QStringLiteral("color: #c00000;"));
    return mark;
}

QLineEdit *DateBox(QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setValidator(new DigitsValidator(box));
    box->setInputMethodHints(Qt::ImhDigitsOnly);
    InputMethodSwitch::followFocus(box, false);
    box->setAlignment(Qt::AlignRight);
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    return box;
}

// "昭和27年03月14日"; empty for an unknown date.
QString EraBirthText(int birth)
{
    const Era era = EraOfDate(birth);
    if (birth <= 0 || era.name.isEmpty())
        return QString();
    return era.name + LastTwo(QString::number(era.year)) + QStringLiteral("年") + LastTwo(QString::number(birth / 100 % 100))
           + QStringLiteral("月") + LastTwo(QString::number(birth % 100)) + QStringLiteral("日");
}

QString SexText(int sex)
{
    return sex == 1 ? QStringLiteral("男性") : sex == 2 ? QStringLiteral("女性") : QString();
}

} // namespace

F患者情報入力::F患者情報入力(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("患者情報"));

    // Left: the patient's data.
    auto *patientFrame = new QFrame(this);
    patientFrame->setFrameShape(QFrame::StyledPanel);
    auto *grid = new QGridLayout(patientFrame);
    grid->setColumnStretch(3, 1);

    TxtID = new QLineEdit(patientFrame);
    TxtID->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhPreferLatin);
    TxtID->setValidator(new AsciiFolder(TxtID));
    InputMethodSwitch::followFocus(TxtID, false);
    Check自動 = new QCheckBox(QStringLiteral("自動作成"), patientFrame);
    TxtName = new QLineEdit(patientFrame);
    TxtKana = new QLineEdit(patientFrame);
    Combo年号 = new QComboBox(patientFrame);
    Combo年号->addItems(EraNames());
    Combo年号->setCurrentIndex(-1);
    TxtSY = DateBox(patientFrame);
    TxtSM = DateBox(patientFrame);
    TxtSD = DateBox(patientFrame);
    Combo性別 = new QComboBox(patientFrame);
    Combo性別->addItems({QStringLiteral("男性"), QStringLiteral("女性")});
    Combo性別->setCurrentIndex(-1);
    Combo性別->setMinimumContentsLength(4);
    TxtAddress = new QLineEdit(patientFrame);
    TxtAddress->setMinimumWidth(TxtAddress->fontMetrics().horizontalAdvance(QString(24, QChar(u'住'))));
    // Names, kana and addresses are typed in hiragana and converted as the
    // doctor chooses; numbers and the birth date without the input method.
    for (QLineEdit *text : {TxtName, TxtKana, TxtAddress})
        InputMethodSwitch::followFocus(text, true);

    int row = 0;
    auto addRow = [&](const QString &caption, bool required, QWidget *field, QWidget *extra = nullptr) {
        grid->addWidget(new QLabel(caption, patientFrame), row, 0, Qt::AlignRight | Qt::AlignVCenter);
        if (required)
            grid->addWidget(RequiredMark(patientFrame), row, 1);
        if (extra) {
            grid->addWidget(field, row, 2);
            grid->addWidget(extra, row, 3);
        } else {
            grid->addWidget(field, row, 2, 1, 2);
        }
        ++row;
    };

    auto *birthRow = new QWidget(patientFrame);
    auto *birthLayout = new QHBoxLayout(birthRow);
    birthLayout->setContentsMargins(0, 0, 0, 0);
    birthLayout->addWidget(Combo年号);
    birthLayout->addWidget(TxtSY);
    birthLayout->addWidget(TxtSM);
    birthLayout->addWidget(TxtSD);
    birthLayout->addStretch();

    auto *sexRow = new QWidget(patientFrame);
    auto *sexLayout = new QHBoxLayout(sexRow);
    sexLayout->setContentsMargins(0, 0, 0, 0);
    sexLayout->addWidget(Combo性別);
    sexLayout->addStretch();

    addRow(QStringLiteral("患者番号："), true, TxtID, Check自動);
    addRow(QStringLiteral("氏名："), true, TxtName);
    addRow(QStringLiteral("ｶﾅ："), true, TxtKana);
    addRow(QStringLiteral("生年月日："), true, birthRow);
    addRow(QStringLiteral("性別："), true, sexRow);
    addRow(QStringLiteral("住所："), false, TxtAddress);
    grid->setRowStretch(row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("『 * 』 の付いている項目は必須"), patientFrame), row, 0, 1, 4);

    // Right: the kana search.
    auto *searchFrame = new QFrame(this);
    searchFrame->setFrameShape(QFrame::StyledPanel);
    auto *searchLayout = new QVBoxLayout(searchFrame);
    auto *searchRow = new QHBoxLayout;
    Txtカナ名 = new QLineEdit(searchFrame);
    // Searched in kana, typed like the name boxes.
    InputMethodSwitch::followFocus(Txtカナ名, true);
    Cmdカナ検索 = new QPushButton(QStringLiteral("検索"), searchFrame);
    searchRow->addWidget(new QLabel(QStringLiteral("ｶﾅ名"), searchFrame));
    searchRow->addWidget(Txtカナ名, 1);
    searchRow->addWidget(Cmdカナ検索);
    searchLayout->addLayout(searchRow);
    LV患者リスト = new QTreeWidget(searchFrame);
    LV患者リスト->setHeaderLabels(
        {QStringLiteral("ID"), QStringLiteral("名前"), QStringLiteral("生年月日"), QStringLiteral("性別")});
    LV患者リスト->setRootIsDecorated(false);
    LV患者リスト->setUniformRowHeights(true);
    LV患者リスト->setSelectionMode(QAbstractItemView::SingleSelection);
    // Every column shows its whole text without scrolling sideways: number,
    // a name of up to eight characters, the birth date in its era and the sex.
    const QFontMetrics metrics = LV患者リスト->fontMetrics();
    const int columnWidths[] = {metrics.horizontalAdvance(QStringLiteral("00000000")) + 16,
                                metrics.horizontalAdvance(QString(8, QChar(u'名'))) + 16,
                                metrics.horizontalAdvance(QStringLiteral("昭和00年00月00日")) + 16,
                                metrics.horizontalAdvance(QStringLiteral("性別")) + 16};
    int listWidth = 2 * LV患者リスト->frameWidth() + LV患者リスト->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < 4; ++column) {
        LV患者リスト->setColumnWidth(column, columnWidths[column]);
        listWidth += columnWidths[column];
    }
    LV患者リスト->setMinimumWidth(listWidth);
    searchLayout->addWidget(LV患者リスト, 1);

    // Bottom: the two buttons.
    CmdOK = new QPushButton(QStringLiteral("決定"), this);
    Cmd戻る = new QPushButton(QStringLiteral("戻る"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdOK);
    buttons->addWidget(Cmd戻る);

    auto *panes = new QHBoxLayout;
    panes->addWidget(patientFrame, 3);
    panes->addWidget(searchFrame, 2);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(panes, 1);
    outer->addLayout(buttons);

    const QList<QWidget *> tabOrder = {TxtID,   Check自動, TxtName, TxtKana, Combo年号,
                                       TxtSY,   TxtSM,     TxtSD,   Combo性別, TxtAddress,
                                       CmdOK,   Cmd戻る,   Txtカナ名, Cmdカナ検索, LV患者リスト};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(Cmd戻る, &QPushButton::clicked, this, [this] { Cmd戻る_Click(); });
    connect(Cmdカナ検索, &QPushButton::clicked, this, [this] { Cmdカナ検索_Click(); });
    connect(LV患者リスト, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item, int) { LV患者リスト_ItemClick(item); });

    resize(sizeHint().expandedTo(QSize(760, 360)));

    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
}

F患者情報入力 &F患者情報入力::shared()
{
    static auto *window = new F患者情報入力;
    return *window;
}

void F患者情報入力::clearBoxes()
{
    for (QLineEdit *box : {TxtID, TxtName, TxtKana, TxtSY, TxtSM, TxtSD, TxtAddress, Txtカナ名})
        box->clear();
    Check自動->setChecked(false);
    Combo年号->setCurrentIndex(-1);
    Combo性別->setCurrentIndex(-1);
    LV患者リスト->clear();
}

void F患者情報入力::showNew(const QWidget *owner)
{
    clearBoxes();
    TxtID->setFocus(Qt::OtherFocusReason);
    ShowOver(this, owner ? owner : OwnerWindow());
}

QString F患者情報入力::checkInput() const
{
    if (TxtID->text().isEmpty() && !Check自動->isChecked())
        return QStringLiteral("患者番号を入力するか、自動作成にチェックをしてください");
    if (TxtKana->text().isEmpty())
        return QStringLiteral("ｶﾅ名を入力してください");
    if (TxtName->text().isEmpty())
        return QStringLiteral("患者名を入力してください");
    // A day that does not exist (2月30日, 平成32年) would be stored and
    // give a wrong age.
    if (Combo年号->currentText().isEmpty() || TxtSY->text().isEmpty() || TxtSM->text().isEmpty()
        || TxtSD->text().isEmpty() || !IsValidEraDate(birthAsEraDate()))
        return QStringLiteral("正しい生年月日を入力してください");
    if (Combo性別->currentText().isEmpty())
        return QStringLiteral("性別を選択してください");
    return QString();
}

QString F患者情報入力::birthAsEraDate() const
{
    return Combo年号->currentText() + LastTwo(TxtSY->text()) + LastTwo(TxtSM->text())
        + LastTwo(TxtSD->text());
}

bool F患者情報入力::mayOverwrite(const PatientRecord &patient) const
{
    const std::optional<PatientRecord> stored = ReadPatient(patient.id);
    if (!stored
        || (stored->name == patient.name && stored->kana == patient.kana && stored->birth == patient.birth))
        return true;
    return prompter().question(QStringLiteral("患者番号 ") + patient.id + QStringLiteral("（") + stored->name
                               + QStringLiteral("）の登録内容を変更します。よろしいですか？"));
}

void F患者情報入力::CmdOK_Click()
{
    const QString problem = checkInput();
    if (!problem.isEmpty()) {
        prompter().message(problem);
        return;
    }
    // The free number is chosen inside the transaction that stores the
    // patient, so that another workstation registering at the same moment
    // cannot take it too.
    const bool automatic = Check自動->isChecked() && TxtID->text().isEmpty();

    PatientRecord patient;
    patient.id = TxtID->text();
    patient.name = TxtName->text();
    patient.kana = TxtKana->text();
    patient.birth = EraDateToNumber(birthAsEraDate());
    patient.sex = Combo性別->currentText() == QStringLiteral("男性") ? 1 : 2;
    patient.address = TxtAddress->text();
    if (!patient.id.isEmpty() && !mayOverwrite(patient))
        return;
    // Going on to the main window for a patient that was not stored would
    // show, and save documents for, somebody who does not exist.
    const bool stored = automatic ? RegisterNewPatient(patient) : !patient.id.isEmpty() && StorePatient(patient);
    if (!stored) {
        prompter().message(QStringLiteral("保存できませんでした"));
        return;
    }
    if (automatic)
        TxtID->setText(patient.id);

    LookupPatient(patient.id);
    if (nav().showMainWindow)
        nav().showMainWindow();
    hide();
}

void F患者情報入力::患者情報取得()
{
    if (TxtID->text().isEmpty())
        return;
    if (!LookupPatient(TxtID->text()))
        return;
    TxtKana->setText(PatientKana);
    TxtName->setText(PatientName);
    Combo年号->setCurrentIndex(Combo年号->findText(PatientEra));
    TxtSY->setText(PatientEraYear);
    const QString birth = PatientBirth != 0 ? QString::number(PatientBirth) : QString();
    TxtSM->setText(birth.mid(4, 2));
    TxtSD->setText(birth.right(2));
    Combo性別->setCurrentIndex(Combo性別->findText(PatientSex == 1 ? QStringLiteral("男性")
                                                                   : QStringLiteral("女性")));
    TxtAddress->setText(PatientAddress);
    TxtAddress->setCursorPosition(0); // show where the address begins
}

QString F患者情報入力::新規ID検索()
{
    return NextFreePatientID();
}

void F患者情報入力::Cmdカナ検索_Click()
{
    LV患者リスト->clear();
    const auto hits = FindPatientsByKana(Txtカナ名->text());
    if (!hits)
        return;
    if (hits->isEmpty()) {
        auto *none = new QTreeWidgetItem(LV患者リスト, {QStringLiteral("該当無し")});
        none->setFirstColumnSpanned(true);
        return;
    }
    for (const PatientHit &hit : *hits) {
        auto *item = new QTreeWidgetItem(LV患者リスト, {hit.id, hit.name, EraBirthText(hit.birth), SexText(hit.sex)});
        item->setData(0, kPatientRowRole, true);
    }
}

void F患者情報入力::LV患者リスト_ItemClick(QTreeWidgetItem *item)
{
    // "該当無し" is no patient number: taking it into TxtID would let 決定
    // register a patient under that text.
    if (!item || !item->data(0, kPatientRowRole).toBool())
        return;
    TxtID->setText(item->text(0));
    患者情報取得();
}

void F患者情報入力::Cmd戻る_Click()
{
    hide();
    if (nav().showStart)
        nav().showStart();
}

bool F患者情報入力::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == TxtID)
                患者情報取得();
            else if (watched == Txtカナ名)
                Cmdカナ検索_Click();
            else if (watched == LV患者リスト)
                LV患者リスト_ItemClick(LV患者リスト->currentItem());
            focusNextChild();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && watched == TxtID) {
        // Only a move to another control of this window counts, not another
        // window (a message box) coming to the front.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            患者情報取得();
    }
    return QWidget::eventFilter(watched, event);
}

void F患者情報入力::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!QCoreApplication::closingDown() && nav().showStart)
        nav().showStart();
}
