#pragma once
#include <QDialog>
#include <QString>

#include <functional>

class QAbstractItemView;
class QPushButton;
class QTreeWidget;

// 版の一覧: every kept version of one document, oldest first, with when, by
// which doctor, in which state and on which workstation it was saved. "開く"
// (or a double click, or Enter) shows the chosen version: an earlier one
// read-only as "第n版（旧版）", the newest as the document itself.
class F版一覧 : public QDialog
{
public:
    // Shows the list for document id of kind over owner (one list at a time).
    // opened runs once a version has been opened.
    static F版一覧 *showFor(const QString &kind, int id, QWidget *owner, std::function<void()> opened = {});
    // The list shown now, or nullptr.
    static F版一覧 *current();

    enum Column { Col版, Col日時, Col医師, Col状態, Col端末 };
    QTreeWidget *LV版 = nullptr;
    QPushButton *Cmd開く = nullptr;
    QPushButton *Cmd閉じる = nullptr;

    void Cmd開く_Click();

private:
    F版一覧(const QString &kind, int id, QWidget *owner);
    void load();

    QString m_kind;
    int m_id = 0;
    std::function<void()> m_opened;
};

// Opens version of document id of kind in the document window, after making
// the document's patient current. False when it could not be shown.
bool OpenKeptVersion(const QString &kind, int id, int version);

// Gives a list of documents the context menu "版の一覧". documentAt names the
// document of a row (its kind and number; an empty kind: none); opened is
// passed on to the versions list.
struct DocumentRef
{
    QString kind;
    int id = 0;
};
void OfferVersionList(QAbstractItemView *list, std::function<DocumentRef(int row)> documentAt,
                      std::function<void()> opened = {});
