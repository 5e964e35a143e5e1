#include "inserts/ui/FSet_Save.h"

#include "document/ui/DocumentHost.h"
#include "ui/Placement.h"
#include "app/AppState.h"
#include "ui/Prompter.h"
#include "inserts/Phrases.h"
#include "inserts/ui/FSet.h"
#include "inserts/ui/PhraseLists.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

namespace {
QPointer<FSet_Save> g_editor;

// The main window's class list follows at once, not only when it is loaded again.
void phrasesChanged()
{
    if (DocumentHost *head = documentHost())
        head->phraseClassesChanged();
}
}

FSet_Save *FSet_Save::load()
{
    if (!g_editor)
        g_editor = new FSet_Save;
    return g_editor;
}

FSet_Save *FSet_Save::showShared()
{
    FSet_Save *w = load();
    ShowOver(w, documentHostWindow());
    return w;
}

FSet_Save *FSet_Save::loaded()
{
    return g_editor;
}

void FSet_Save::unload()
{
    FSet_Save *w = g_editor;
    g_editor = nullptr;
    if (w) {
        w->hide();
        w->deleteLater();
    }
}

FSet_Save::FSet_Save()
{
    setWindowTitle(QStringLiteral("定型文"));
    setAttribute(Qt::WA_QuitOnClose, false);

    LabelClass = new QLabel(QStringLiteral("分類"));
    CbClass = new QComboBox;
    CbClass->setObjectName(QStringLiteral("CbClass"));
    CbClass->setEditable(true);
    CbClass->setInsertPolicy(QComboBox::NoInsert);
    CbClass->setMinimumContentsLength(16);
    LabelValue = new QLabel(QStringLiteral("内容"));
    TxtValue = new QPlainTextEdit;
    TxtValue->setObjectName(QStringLiteral("TxtValue"));
    Cmd登録 = new QPushButton(QStringLiteral("登録"));
    Cmd削除 = new QPushButton(QStringLiteral("削除"));
    Cmd削除->setVisible(false);
    Cmdキャンセル = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    for (QPushButton *b : {Cmd登録, Cmd削除, Cmdキャンセル})
        b->setAutoDefault(false);

    auto *grid = new QGridLayout;
    grid->addWidget(LabelClass, 0, 0);
    grid->addWidget(CbClass, 0, 1);
    grid->addWidget(LabelValue, 1, 0, Qt::AlignTop);
    grid->addWidget(TxtValue, 1, 1);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Cmd登録);
    buttons->addWidget(Cmd削除);
    buttons->addStretch();
    buttons->addWidget(Cmdキャンセル);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    resize(520, 320);

    connect(Cmd登録, &QPushButton::clicked, this, [this] { Cmd登録_Click(); });
    connect(Cmd削除, &QPushButton::clicked, this, [this] { Cmd削除_Click(); });
    connect(Cmdキャンセル, &QPushButton::clicked, this, [this] { Cmdキャンセル_Click(); });

    // Loaded with no class chosen and an empty box to type a new one into.
    LoadPhraseClasses(CbClass);
}

void FSet_Save::Cmd登録_Click()
{
    if (CbClass->currentText().isEmpty()) {
        prompter().message(QStringLiteral("分類名を入力してください"));
        return;
    }
    if (TxtValue->toPlainText().isEmpty()) {
        prompter().message(QStringLiteral("内容を入力してください"));
        return;
    }
    SavePhrase(m_tag.toInt(), CurrentDrID, CbClass->currentText(), TxtValue->toPlainText());
    phrasesChanged();
    backToPicker();
}

void FSet_Save::Cmd削除_Click()
{
    if (!prompter().question(QStringLiteral("削除しますか？"), QStringLiteral("定型文")))
        return;
    DeletePhrase(m_tag.toInt());
    phrasesChanged();
    backToPicker();
}

void FSet_Save::Cmdキャンセル_Click()
{
    backToPicker();
}

void FSet_Save::backToPicker()
{
    unload();
    // A picker loaded meanwhile (by the main window's class list) is replaced,
    // so the class list always reflects what was just saved or deleted.
    FSet::unload();
    FSet::showShared();
}

void FSet_Save::closeEvent(QCloseEvent *event)
{
    event->accept();
    // Unloaded like by its cancel button, so the next opening starts from
    // the design values instead of what this one left behind.
    if (loaded() == this)
        Cmdキャンセル_Click();
}
