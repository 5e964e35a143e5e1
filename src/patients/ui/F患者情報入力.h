#pragma once
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
struct PatientRecord;

// Patient entry: the doctor finds a patient by number or by kana, registers a
// new one or corrects one, and goes on to the main window with "決定".
// Shown by the start window once a doctor is chosen; one instance for the run.
class F患者情報入力 : public QWidget
{
public:
    explicit F患者情報入力(QWidget *parent = nullptr);

    static F患者情報入力 &shared();
    // Shows the window in front as it is when first loaded: empty boxes, no
    // search result, era and sex not chosen. Every opening from the start
    // window goes through here, so nothing of the previous patient is left
    // to be registered by mistake under a new name.
    // It opens centred over owner (the window it was opened from).
    void showNew(const QWidget *owner = nullptr);
    // Puts every box back to its design value.
    void clearBoxes();

    // Loads the patient whose number is in TxtID into the boxes (and makes it
    // current); an unknown number leaves the boxes as they are.
    void 患者情報取得();
    // A patient number that is still free.
    QString 新規ID検索();

    void CmdOK_Click();
    void Cmdカナ検索_Click();
    void Cmd戻る_Click();
    void LV患者リスト_ItemClick(QTreeWidgetItem *item);

    QLineEdit *TxtID;
    QCheckBox *Check自動;
    QLineEdit *TxtName;
    QLineEdit *TxtKana;
    QComboBox *Combo年号;
    QLineEdit *TxtSY;
    QLineEdit *TxtSM;
    QLineEdit *TxtSD;
    QComboBox *Combo性別;
    QLineEdit *TxtAddress;
    QLineEdit *Txtカナ名;
    QPushButton *Cmdカナ検索;
    QTreeWidget *LV患者リスト;
    QPushButton *CmdOK;
    QPushButton *Cmd戻る;

protected:
    // Enter moves the focus on like Tab (after its own work in TxtID and
    // Txtカナ名); TxtID looks its number up when the focus leaves it.
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Closing the window goes back to the start window, like 戻る.
    void closeEvent(QCloseEvent *event) override;

private:
    QString checkInput() const;
    QString birthAsEraDate() const;
    // Asks before a registration changes the name, kana or birth date of a
    // patient number that exists; true when it may go ahead.
    bool mayOverwrite(const PatientRecord &patient) const;
};
