#include "persistence/ui/HistoryWidgets.h"

#include "ui/Navigation.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>

void SetupHistoryList(QTreeWidget *list)
{
    if (!list)
        return;
    list->setColumnCount(4);
    list->setHeaderLabels({QStringLiteral("日付"), QStringLiteral("ID"), QStringLiteral("書類名"),
                           QStringLiteral("終了判定")});
    list->setRootIsDecorated(false);
}

void FillHistoryList(QTreeWidget *list, const QList<HistoryRow> &rows)
{
    if (!list)
        return;
    list->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(rows.size());
    for (const HistoryRow &row : rows) {
        items << new QTreeWidgetItem(QStringList{row.date, row.id, row.kind, row.state});
        // The narrow panel cuts a long kind name short; it is shown whole
        // where the pointer rests.
        items.last()->setToolTip(2, row.kind);
    }
    list->addTopLevelItems(items);
    list->sortItems(0, Qt::AscendingOrder);
}

QList<HistoryRow> HistoryRowsOf(const QTreeWidget *list)
{
    QList<HistoryRow> rows;
    if (!list)
        return rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        rows << HistoryRow{item->text(0), item->text(1), item->text(2), item->text(3)};
    }
    return rows;
}

void FillHistoryMenu(QMenu *menu, const QList<HistoryRow> &rows, HistoryMarks marks,
                     const OpenHistoryEntry &open)
{
    if (!menu)
        return;
    // Deleted later: an entry may be rebuilding the menu from its own handler.
    for (QAction *action : menu->actions()) {
        menu->removeAction(action);
        if (action->parent() == menu)
            action->deleteLater();
    }
    if (rows.isEmpty()) {
        menu->addAction(QString());
        return;
    }
    for (const HistoryRow &row : rows) {
        QString caption = HistoryMenuCaption(row, marks);
        QAction *action = menu->addAction(caption.replace(u'&', QStringLiteral("&&")));
        const QString kind = row.kind;
        bool idOk = false;
        const int id = row.id.toInt(&idOk);
        if (!idOk)
            continue;
        QObject::connect(action, &QAction::triggered, action, [open, kind, id] {
            if (open)
                open(kind, id);
            else if (nav().openSavedDocument)
                nav().openSavedDocument(kind, id);
        });
    }
}

void RefreshPatientHistory(QTreeWidget *list, QMenu *menu, const OpenHistoryEntry &open)
{
    const QList<HistoryRow> rows = LoadPatientHistory();
    FillHistoryList(list, rows);
    FillHistoryMenu(menu, list ? HistoryRowsOf(list) : rows, HistoryMarks::MainWindow, open);
}

void FillHistoryMenu(QMenu *menu, const QTreeWidget *list, const OpenHistoryEntry &open)
{
    FillHistoryMenu(menu, HistoryRowsOf(list), HistoryMarks::DocumentWindow, open);
}
