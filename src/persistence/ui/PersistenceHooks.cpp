#include "persistence/ui/PersistenceHooks.h"

#include "document/ui/DocumentHooks.h"
#include "document/ui/DocumentHost.h"
#include "document/ui/FM.h"
#include "persistence/ui/DocumentBinding.h"
#include "persistence/ui/DraftKeeper.h"
#include "persistence/ui/HistoryWidgets.h"
#include "persistence/ui/SaveCommands.h"
#include "persistence/SaveDocument.h"
#include "persistence/SavedDocuments.h"
#include "storage/DatabaseFailure.h"
#include "ui/Navigation.h"
#include "ui/Prompter.h"

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
    DocumentHost *head = documentHost();
    if (!head)
        return;
    FillHistoryList(head->historyList(), LoadPatientHistory());
    const QList<HistoryRow> rows = HistoryRowsOf(head->historyList());
    FillHistoryMenuArray(head->historyMenu(), rows, HistoryMarks::MainWindow);
    // The document window's entries are positions in the history list too; left as
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
    static SaveFailure lastFailure = SaveFailure::None;
    hooks.saveFailureText = [] { return SaveFailureMessage(lastFailure); };
    hooks.saveDocument = [](int number, const QString &state) {
        lastFailure = SaveFailure::Failed;
        FM *doc = fm();
        if (!doc)
            return false;
        if (doc->OldVersion)
            return false;
        // A finished document is a record others may have relied on: saving
        // it again makes a new version, which the doctor confirms first.
        if (StoredAsFinished(doc->Tag, number)
            && !prompter().question(QStringLiteral("この書類は終了データです。変更すると新しい版として保存されます。よろしいですか？"))) {
            lastFailure = SaveFailure::Declined;
            return false;
        }
        const QString before = doc->Lb登録番号->text();
        ClearDatabaseFailure();
        const bool saved = SaveWindowDocument(*doc, number, state, &lastFailure);
        if (saved) {
            // The saved content is the window's new baseline before anything
            // else runs (the "保存しました" box runs events): otherwise the
            // draft keeper still sees unsaved changes and writes a draft of
            // what was just stored, which a crash would offer back.
            doc->更新チェック更新();
            DraftKeeper::shared().discard();
        }
        if (saved || doc->Lb登録番号->text() != before)
            RefreshHistoryWindows();
        return saved;
    };
    hooks.refreshPatientHistory = [] { RefreshHistoryWindows(); };
    hooks.fillHistoryMenu = [] {
        FM *doc = fm();
        DocumentHost *head = documentHost();
        if (doc && head)
            FillHistoryMenuArray(doc->M履歴, HistoryRowsOf(head->historyList()), HistoryMarks::DocumentWindow);
    };
    hooks.openSavedDocument = [](const QString &kind, const QString &id) {
        bool ok = false;
        const int number = id.trimmed().toInt(&ok);
        if (ok)
            ReopenSavedDocument(kind, number);
    };
    nav().openSavedDocument = [](const QString &kind, int id) { OpenSavedDocumentInMainWindow(kind, id); };
}
