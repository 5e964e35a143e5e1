#include "persistence/ui/FSaveList.h"
#include "persistence/ui/DraftRecovery.h"
#include "persistence/ui/F版一覧.h"

#include "app/AppState.h"
#include "ui/EnterOpens.h"
#include "ui/Navigation.h"
#include "ui/Placement.h"
#include "ui/Prompter.h"
#include "patients/Patient.h"
#include "persistence/SavedDocuments.h"
#include "persistence/SavedDocumentsModel.h"
#include "templates/TemplateReader.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString kAll = QStringLiteral("すべて");

QPointer<FSaveList> g_instance;

// Menu texts show '&' literally.
QString menuText(const QString &caption)
{
    QString text = caption;
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

FSaveList *FSaveList::instance()
{
    if (!g_instance) {
        g_instance = new FSaveList;
        g_instance->Form_Load();
    }
    return g_instance;
}

bool FSaveList::exists()
{
    return !g_instance.isNull();
}

void FSaveList::showList(bool finished, const QWidget *owner)
{
    const bool fresh = !exists();
    FSaveList *w = instance();
    ShowOver(w, owner ? owner : OwnerWindow());
    if (finished)
        w->Set終了();
    else if (!fresh)
        w->M保留_Click();
}

FSaveList::FSaveList()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("保存リスト"));

    LVListRows = new SavedDocumentsModel(this);
    LVList = new QTreeView;
    LVList->setModel(LVListRows);
    LVList->setRootIsDecorated(false);
    LVList->setUniformRowHeights(true);
    LVList->setAllColumnsShowFocus(true);
    LVList->setSelectionBehavior(QAbstractItemView::SelectRows);
    LVList->setSelectionMode(QAbstractItemView::SingleSelection);
    LVList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LVList->setSortingEnabled(false);
    LVList->setColumnHidden(ColID, true);
    LVList->setColumnWidth(Col前回編集日, 110);
    LVList->setColumnWidth(Col日付, 110);
    LVList->setColumnWidth(Col患者番号, 100);
    LVList->setColumnWidth(Col患者名, 170);
    QHeaderView *header = LVList->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) { LVList_ColumnClick(column); });
    connect(LVList, &QTreeView::doubleClicked, this, [this] { LVList_DblClick(); });
    EnterOpens(LVList, [this](int) { LVList_DblClick(); });
    OfferVersionList(
        LVList, [this](int row) { return DocumentRef{LVListRows->row(row).kind, LVListRows->row(row).id}; },
        [this] {
            m_documentOpened = true;
            close();
        });

    CmdOK = new QPushButton(QStringLiteral("決定"));
    Cmd削除 = new QPushButton(QStringLiteral("削除"));
    Cmd戻る = new QPushButton(QStringLiteral("戻る"));
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(Cmd削除, &QPushButton::clicked, this, [this] { Cmd削除_Click(); });
    connect(Cmd戻る, &QPushButton::clicked, this, [this] { Cmd戻る_Click(); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdOK);
    buttons->addWidget(Cmd削除);
    buttons->addWidget(Cmd戻る);
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(LVList);
    layout->addLayout(buttons);
    setCentralWidget(central);

    MDoc_Head = menuBar()->addMenu(QStringLiteral("書類選択"));
    QMenu *switchMenu = menuBar()->addMenu(QStringLiteral("切り替え"));
    M保留 = switchMenu->addAction(QStringLiteral("保留データ"));
    M終了 = switchMenu->addAction(QStringLiteral("終了データ"));
    auto *states = new QActionGroup(this);
    for (QAction *a : {M保留, M終了}) {
        a->setCheckable(true);
        states->addAction(a);
    }
    M保留->setChecked(true);
    connect(M保留, &QAction::triggered, this, [this] { M保留_Click(); });
    connect(M終了, &QAction::triggered, this, [this] { M終了_Click(); });

    resize(760, 520);
}

void FSaveList::Form_Load()
{
    auto *kinds = new QActionGroup(this);
    QStringList captions{kAll};
    captions << TemplateKinds();
    for (int i = 0; i < captions.size(); ++i) {
        QAction *a = MDoc_Head->addAction(menuText(captions[i]));
        a->setData(captions[i]);
        a->setCheckable(true);
        kinds->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { MDoc_Click(i); });
        MDoc << a;
    }
    MDoc[0]->setChecked(true);
    MDoc_Click(0);
}

int FSaveList::rowCount() const
{
    return LVListRows->rowCount();
}

QString FSaveList::cellText(int row, int column) const
{
    return LVListRows->text(row, column);
}

int FSaveList::currentRow() const
{
    const QModelIndex current = LVList->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void FSaveList::selectRow(int row)
{
    LVList->setCurrentIndex(LVListRows->index(row, 0));
}

void FSaveList::MDoc_Click(int index)
{
    if (index < 0 || index >= MDoc.size())
        return;
    LVListRows->clear();
    const int state = M保留->isChecked() ? 0 : 1;
    setWindowTitle(state == 0 ? QStringLiteral("保存リスト（保留データ）") : QStringLiteral("保存リスト（終了データ）"));
    if (MDoc[index]->data().toString() == kAll) {
        // Kinds whose names differ only in letter case share one table.
        QStringList kinds;
        for (int i = 1; i < MDoc.size(); ++i)
            kinds << MDoc[i]->data().toString();
        LVListRows->append(LoadSavedDocuments(OneKindPerTable(kinds), CurrentDrID, state));
    } else {
        DocList_Load(MDoc[index]->data().toString(), state);
    }
    Set患者名();
    m_sortOrder = Qt::DescendingOrder;
    LVListRows->sort(Col前回編集日, m_sortOrder);
    LVList->header()->setSortIndicator(Col前回編集日, m_sortOrder);
    if (rowCount() > 0)
        selectRow(0);
    MDoc[index]->setChecked(true);
}

void FSaveList::DocList_Load(const QString &kind, int state)
{
    LVListRows->append(LoadSavedDocuments(kind, CurrentDrID, state));
}

void FSaveList::Set患者名()
{
    LVListRows->fillPatientNames();
}

void FSaveList::Set終了()
{
    M終了_Click();
}

void FSaveList::reloadCheckedKind()
{
    for (int i = 0; i < MDoc.size(); ++i)
        if (MDoc[i]->isChecked())
            MDoc_Click(i);
}

void FSaveList::M保留_Click()
{
    M保留->setChecked(true);
    reloadCheckedKind();
}

void FSaveList::M終了_Click()
{
    M終了->setChecked(true);
    reloadCheckedKind();
}

void FSaveList::LVList_ColumnClick(int column)
{
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    LVListRows->sort(column, m_sortOrder);
    LVList->header()->setSortIndicator(column, m_sortOrder);
}

void FSaveList::LVList_DblClick()
{
    CmdOK_Click();
}

void FSaveList::CmdOK_Click()
{
    const int row = currentRow();
    if (rowCount() == 0 || row < 0)
        return;
    const SavedDocumentRow document = LVListRows->row(row);
    LookupPatient(document.patientId);
    m_documentOpened = true;
    if (nav().openSavedDocument)
        nav().openSavedDocument(document.kind, document.id);
    close();
}

void FSaveList::Cmd削除_Click()
{
    const int row = currentRow();
    if (rowCount() == 0 || row < 0)
        return;
    if (!prompter().question(QStringLiteral("削除してもいいですか？"), QString()))
        return;
    const SavedDocumentRow document = LVListRows->row(row);
    if (!DeleteSavedDocument(document.kind, document.id)) {
        prompter().message(QStringLiteral("削除できませんでした"), QString());
        return;
    }
    // A draft left of the deleted document would bring it back.
    DiscardDraftsOf(document.kind, document.id);
    LVListRows->removeRows(row, 1);
    prompter().message(QStringLiteral("削除しました"), QString());
}

void FSaveList::Cmd戻る_Click()
{
    close();
}

void FSaveList::closeEvent(QCloseEvent *event)
{
    // Closing by the title bar goes back too: the start window is hidden while
    // the list is shown, and nothing else would bring it back.
    if (!m_documentOpened && nav().showStart)
        nav().showStart();
    event->accept();
}
