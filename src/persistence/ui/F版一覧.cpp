#include "persistence/ui/F版一覧.h"

#include "app/AppState.h"
#include "document/ui/FM.h"
#include "patients/Patient.h"
#include "persistence/KeptVersions.h"
#include "persistence/OpenSavedDocument.h"
#include "persistence/ui/DocumentBinding.h"
#include "settings/Doctors.h"
#include "templates/ui/BuildDocument.h"
#include "ui/EnterOpens.h"
#include "ui/Navigation.h"
#include "ui/Placement.h"
#include "ui/Prompter.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QPointer<F版一覧> g_current;

QString stateMark(const KeptVersion &v)
{
    if (v.deleted)
        return QStringLiteral("削除");
    return RowValueOf(v.values, QStringLiteral("終了判定")).trimmed() == QStringLiteral("1") ? QStringLiteral("○")
                                                                                         : QStringLiteral("△");
}
}

F版一覧 *F版一覧::current()
{
    return g_current;
}

F版一覧 *F版一覧::showFor(const QString &kind, int id, QWidget *owner, std::function<void()> opened)
{
    if (g_current)
        g_current->close();
    g_current = new F版一覧(kind, id, owner);
    g_current->m_opened = std::move(opened);
    ShowOver(g_current, owner);
    return g_current;
}

F版一覧::F版一覧(const QString &kind, int id, QWidget *owner)
    : QDialog(owner), m_kind(kind), m_id(id)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("版の一覧（%1 %2）").arg(kind).arg(id));
    LV版 = new QTreeWidget;
    LV版->setRootIsDecorated(false);
    LV版->setAllColumnsShowFocus(true);
    LV版->setHeaderLabels({QStringLiteral("版"), QStringLiteral("日時"), QStringLiteral("医師"),
                           QStringLiteral("状態"), QStringLiteral("端末")});
    LV版->header()->setStretchLastSection(true);
    Cmd開く = new QPushButton(QStringLiteral("開く"));
    Cmd閉じる = new QPushButton(QStringLiteral("閉じる"));
    connect(Cmd開く, &QPushButton::clicked, this, [this] { Cmd開く_Click(); });
    connect(Cmd閉じる, &QPushButton::clicked, this, [this] { close(); });
    connect(LV版, &QTreeWidget::itemDoubleClicked, this, [this] { Cmd開く_Click(); });
    EnterOpens(LV版, [this](int) { Cmd開く_Click(); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Cmd開く);
    buttons->addWidget(Cmd閉じる);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(LV版);
    layout->addLayout(buttons);
    load();
    resize(560, 300);
}

void F版一覧::load()
{
    const QHash<QString, QString> doctors = DoctorNamesById();
    for (const KeptVersion &v : KeptVersions(m_kind, m_id)) {
        const QString doctor = doctors.value(v.doctorId, v.doctorId);
        auto *row = new QTreeWidgetItem(QStringList{QString::number(v.version),
                                                    v.time.isEmpty() ? QStringLiteral("不明") : v.time, doctor,
                                                    stateMark(v), v.workstation});
        row->setData(Col版, Qt::UserRole, v.version);
        LV版->addTopLevelItem(row);
    }
    for (int c = Col版; c < Col端末; ++c)
        LV版->resizeColumnToContents(c);
    // The newest first in view: it is usually the one compared against.
    if (LV版->topLevelItemCount() > 0)
        LV版->setCurrentItem(LV版->topLevelItem(LV版->topLevelItemCount() - 1));
    Cmd開く->setEnabled(LV版->topLevelItemCount() > 0);
}

void F版一覧::Cmd開く_Click()
{
    const QTreeWidgetItem *row = LV版->currentItem();
    if (!row)
        return;
    const int version = row->data(Col版, Qt::UserRole).toInt();
    const QString kind = m_kind;
    const int id = m_id;
    const std::function<void()> opened = m_opened;
    close();
    if (OpenKeptVersion(kind, id, version) && opened)
        opened();
}

bool OpenKeptVersion(const QString &kind, int id, int version)
{
    const QList<KeptVersion> versions = KeptVersions(kind, id);
    const auto kept = std::find_if(versions.cbegin(), versions.cend(),
                                   [version](const KeptVersion &v) { return v.version == version; });
    if (kept == versions.cend()) {
        prompter().message(QStringLiteral("この版を読み込めませんでした。"));
        return false;
    }
    // The version is shown with the patient it was written for.
    const QString patient = RowValueOf(kept->values, QStringLiteral("患者番号"));
    if (!patient.isEmpty() && patient != PatientID)
        LookupPatient(patient);
    if (nav().showMainWindow)
        nav().showMainWindow();
    // The newest version is the document as stored now: it opens as usual.
    if (kept->version == versions.last().version && !kept->deleted)
        return ReopenSavedDocument(kind, id);
    bool imageRead = true;
    const bool shown = BuildKeptVersion(kind, id, *kept, &imageRead);
    if (shown && !imageRead)
        prompter().message(QStringLiteral("ページの画像を読み込めませんでした。"));
    return shown;
}

void OfferVersionList(QAbstractItemView *list, std::function<DocumentRef(int row)> documentAt,
                      std::function<void()> opened)
{
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(list, &QWidget::customContextMenuRequested, list, [list, documentAt, opened](const QPoint &at) {
        const QModelIndex index = list->indexAt(at);
        if (!index.isValid())
            return;
        list->setCurrentIndex(index);
        const DocumentRef doc = documentAt(index.row());
        if (doc.kind.isEmpty())
            return;
        auto *menu = new QMenu(list);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(menu->addAction(QStringLiteral("版の一覧")), &QAction::triggered, list, [list, doc, opened] {
            F版一覧::showFor(doc.kind, doc.id, list->window(), opened);
        });
        menu->popup(list->viewport()->mapToGlobal(at));
    });
}
