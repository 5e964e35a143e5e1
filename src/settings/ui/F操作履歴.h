#pragma once
#include <QWidget>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The audit trail (table 操作履歴), newest first, read-only: who changed,
// printed or exported what on which workstation, and who signed in (with
// the doctor's name). Narrowed to one patient number and to a range of days.
class F操作履歴 : public QWidget
{
public:
    explicit F操作履歴(QWidget *parent = nullptr);

    // The one instance of the run, created on first use.
    static F操作履歴 &shared();

    // Shows the newest rows again with the current filter.
    void Cmd検索_Click();

    // At most this many rows are listed; the filter narrows further back.
    static constexpr int kMaxRows = 2000;

    enum Column { Col日時, Col端末, Col医師, Col医師名, Col操作, Col書類, Col書類番号, Col患者番号 };

    QLineEdit *Txt患者番号;
    QCheckBox *Check期間;
    QDateEdit *Date開始;
    QDateEdit *Date終了;
    QPushButton *Cmd検索;
    QPushButton *Cmd閉じる;
    QTreeWidget *LV操作履歴;
};
