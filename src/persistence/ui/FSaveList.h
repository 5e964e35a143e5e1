#pragma once
#include <QList>
#include <QMainWindow>

class QAction;
class QActionGroup;
class QMenu;
class QPushButton;
class QTreeView;
class SavedDocumentsModel;

// 保存リスト: the current doctor's pending or finished documents, of one
// kind or of all ("すべて"), newest edit first; the title says which state.
// "決定" (or a double click, or Enter) makes the document's patient current
// and reopens it, "削除" deletes it, "戻る" (or closing the window) goes back
// to the start window.
class FSaveList : public QMainWindow
{
public:
    // The one instance, created (and loaded with the pending documents of
    // every kind) on first use; it is destroyed when it closes.
    static FSaveList *instance();
    static bool exists();
    // What the start window's buttons do: show the list of pending or finished documents.
    static void showList(bool finished, const QWidget *owner = nullptr);

    // Appends the rows of one kind for the current doctor and state (0 pending, 1 finished).
    void DocList_Load(const QString &kind, int state);
    // Fills the patient-name column of every row.
    void Set患者名();
    // Lists finished documents, keeping the chosen kind.
    void Set終了();

    void MDoc_Click(int index);
    void M保留_Click();
    void M終了_Click();
    void LVList_ColumnClick(int column);
    void LVList_DblClick();
    void CmdOK_Click();
    void Cmd削除_Click();
    void Cmd戻る_Click();

    // Columns of LVList.
    enum Column { Col前回編集日, Col日付, Col患者番号, Col患者名, Col書類, ColID };

    // The rows as shown (in the current order) and the selected one.
    int rowCount() const;
    QString cellText(int row, int column) const;
    int currentRow() const;
    void selectRow(int row);

    QTreeView *LVList = nullptr;
    SavedDocumentsModel *LVListRows = nullptr;
    QPushButton *CmdOK = nullptr;
    QPushButton *Cmd削除 = nullptr;
    QPushButton *Cmd戻る = nullptr;
    QMenu *MDoc_Head = nullptr;
    QList<QAction *> MDoc; // 0 is "すべて", then one per kind
    QAction *M保留 = nullptr;
    QAction *M終了 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    FSaveList();
    void Form_Load();
    void reloadCheckedKind();

    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    bool m_documentOpened = false;
};
