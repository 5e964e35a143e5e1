#include "inserts/ui/FSet.h"

#include "document/ui/DocumentHost.h"
#include "ui/Placement.h"
#include "inserts/ui/FSet_Save.h"
#include "inserts/ui/PhraseLists.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

namespace {
QPointer<FSet> g_fset;
std::function<QPlainTextEdit *()> g_insertTarget;
}

FSet *FSet::load()
{
    if (!g_fset)
        g_fset = new FSet;
    return g_fset;
}

FSet *FSet::showShared()
{
    FSet *w = load();
    ShowOver(w, documentHostWindow());
    return w;
}

FSet *FSet::loaded()
{
    return g_fset;
}

void FSet::unload()
{
    FSet *w = g_fset;
    g_fset = nullptr;
    if (w) {
        w->hide();
        w->deleteLater();
    }
}

void FSet::setInsertTarget(std::function<QPlainTextEdit *()> target)
{
    g_insertTarget = std::move(target);
}

FSet::FSet()
{
    setWindowTitle(QStringLiteral("定型分"));
    setAttribute(Qt::WA_QuitOnClose, false);

    LabelClass = new QLabel(QStringLiteral("分類"));
    ListSetName = new QListWidget;
    ListSetName->setObjectName(QStringLiteral("ListSetName"));
    LabelValue = new QLabel(QStringLiteral("内容"));
    ListSet = new QListWidget;
    ListSet->setObjectName(QStringLiteral("ListSet"));
    ListSet->setSelectionMode(QAbstractItemView::MultiSelection);
    ListSet->setTextElideMode(Qt::ElideRight);
    LabelHint = new QLabel(QStringLiteral("※ﾀﾞﾌﾞﾙｸﾘｯｸで変更・削除"));
    CmdOK = new QPushButton(QStringLiteral("挿入"));
    CmdAllSel = new QPushButton(QStringLiteral("すべて選択"));
    Cmd追加 = new QPushButton(QStringLiteral("定型文を追加する"));
    Cmdキャンセル = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    for (QPushButton *b : {CmdOK, CmdAllSel, Cmd追加, Cmdキャンセル})
        b->setAutoDefault(false);

    auto *grid = new QGridLayout;
    grid->addWidget(LabelClass, 0, 0);
    grid->addWidget(LabelValue, 0, 1);
    grid->addWidget(ListSetName, 1, 0);
    grid->addWidget(ListSet, 1, 1);
    grid->addWidget(LabelHint, 2, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 3);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdAllSel);
    buttons->addWidget(Cmd追加);
    buttons->addStretch();
    buttons->addWidget(Cmdキャンセル);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    resize(640, 420);

    connect(ListSetName, &QListWidget::itemClicked, this, [this] { ListSetName_Click(); });
    connect(ListSetName, &QListWidget::itemActivated, this, [this] { ListSetName_Click(); });
    connect(ListSet, &QListWidget::itemDoubleClicked, this, [this] { ListSet_DblClick(); });
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(CmdAllSel, &QPushButton::clicked, this, [this] { CmdAllSel_Click(); });
    connect(Cmd追加, &QPushButton::clicked, this, [this] { Cmd追加_Click(); });
    connect(Cmdキャンセル, &QPushButton::clicked, this, [this] { Cmdキャンセル_Click(); });

    LoadPhraseClasses(ListSetName);
}

void FSet::ListSetName_Click()
{
    if (QListWidgetItem *item = ListSetName->currentItem())
        LoadPhrases(item->text());
}

void FSet::CmdAllSel_Click()
{
    ListSet->selectAll();
}

void FSet::CmdOK_Click()
{
    QStringList chosen;
    for (int i = 0; i < ListSet->count(); ++i) {
        if (ListSet->item(i)->isSelected())
            chosen << ListSet->item(i)->text();
    }
    InsertPhrasesInto(g_insertTarget ? g_insertTarget() : nullptr, chosen);
    unload();
}

void FSet::ListSet_DblClick()
{
    QListWidgetItem *item = ListSet->currentItem();
    if (!item)
        return;
    const QString className = phraseClass;
    FSet_Save *editor = FSet_Save::showShared();
    editor->Cmd削除->setVisible(true);
    editor->CbClass->setCurrentText(className);
    editor->TxtValue->setPlainText(item->text());
    editor->setTag(QString::number(item->data(Qt::UserRole).toInt()));
    unload();
}

void FSet::Cmd追加_Click()
{
    FSet_Save *editor = FSet_Save::showShared();
    editor->setTag(QStringLiteral("0"));
    unload();
}

void FSet::Cmdキャンセル_Click()
{
    unload();
}

void FSet::closeEvent(QCloseEvent *event)
{
    event->accept();
    // Unloaded like by its cancel button, so the next opening starts from
    // the design values instead of what this one left behind.
    if (loaded() == this)
        Cmdキャンセル_Click();
}
