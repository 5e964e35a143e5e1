#include "persistence/ui/PersistenceHooks.h"

#include "app/ui/FHead.h"
#include "ui/Navigation.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "persistence/ui/DocumentBinding.h"
#include "persistence/ui/DraftKeeper.h"
#include "persistence/ui/HistoryWidgets.h"

#include <QTreeWidget>

void FillHistoryMenuArray(MenuArray &menu, const QList<HistoryRow> &rows, HistoryMarks marks)
{
    if (!menu[0])
        return;
    menu.unloadAll();
    menu[0]->setText(QString());
    for (int i = 0; i < rows.size(); ++i) {
        QString caption = HistoryMenuCaption(rows[i], marks);
        if (QAction *entry = menu.load(i))
            entry->setText(caption.replace(u'&', QStringLiteral("&&")));
    }
}

void RefreshHistoryWindows()
{
    FHead *head = fhead();
    if (!head)
        return;
    FillHistoryList(head->LV履歴, LoadPatientHistory());
    const QList<HistoryRow> rows = HistoryRowsOf(head->LV履歴);
    FillHistoryMenuArray(head->M履歴, rows, HistoryMarks::MainWindow);
    // The document window's entries are positions in LV履歴 too; left as
    // they were they would open other documents once the list has changed.
    if (FM *doc = fm())
        FillHistoryMenuArray(doc->M履歴, rows, HistoryMarks::DocumentWindow);
}

void OpenSavedDocumentInMainWindow(const QString &kind, int id)
{
    if (nav().showMainWindow)
        nav().showMainWindow();
    ReopenSavedDocument(kind, id);
}

void InstallPersistenceHooks()
{
    DocumentHooks &hooks = docHooks();
    hooks.saveDocument = [](int number, const QString &state) {
        FM *doc = fm();
        if (!doc)
            return false;
        const QString before = doc->Lb登録番号->text();
        const bool saved = SaveWindowDocument(*doc, number, state);
        if (saved)
            DraftKeeper::shared().discard();
        if (saved || doc->Lb登録番号->text() != before)
            RefreshHistoryWindows();
        return saved;
    };
    hooks.refreshPatientHistory = [] { RefreshHistoryWindows(); };
    hooks.fillHistoryMenu = [] {
        FM *doc = fm();
        FHead *head = fhead();
        if (doc && head)
            FillHistoryMenuArray(doc->M履歴, HistoryRowsOf(head->LV履歴), HistoryMarks::DocumentWindow);
    };
    hooks.openSavedDocument = [](const QString &id) {
        bool ok = false;
        const int number = id.trimmed().toInt(&ok);
        if (ok && fm())
            ReopenWindowDocument(*fm(), number);
    };
    nav().openSavedDocument = [](const QString &kind, int id) { OpenSavedDocumentInMainWindow(kind, id); };
}
