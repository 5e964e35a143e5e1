#pragma once
#include "document/ui/DocumentHost.h"
#include "document/ui/MenuArray.h"

#include <QColor>
#include <QMargins>
#include <QMainWindow>
#include <QVector>

class FM;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMdiArea;
class QPushButton;
class QToolButton;
class QTreeWidget;
class WheelScroll;

// The main window "Rydol": the frame around the document window with the
// patient bar on top, phrases and history on the right and the drawing
// palette on the left. One shared instance, hidden and shown again; it is the
// document window's host.
class FHead : public QMainWindow, public DocumentHost
{
public:
    FHead();
    ~FHead() override;

    QMdiArea *mdiArea() const override { return m_mdi; }
    WheelScroll *wheel() const { return m_wheel; }

    // ---- top bar ---------------------------------------------------------------
    QWidget *PicTop = nullptr;
    // Patient values; each carries its patient item in the "Tag" property.
    QVector<QLabel *> Lb基本情報;
    QLabel *Lb入力者 = nullptr;
    static QString TagOf(const QLabel *label);

    // ---- right panel -------------------------------------------------------------
    QWidget *PicRight = nullptr;
    QComboBox *CbSetName = nullptr;
    QListWidget *ListSet = nullptr;
    // Rows: text = date, sub-items 1 ID, 2 kind, 3 completion mark.
    QTreeWidget *LV履歴 = nullptr;
    QCheckBox *CheckLock = nullptr;
    int PicRightWidth() const override { return m_picRightWidth; } // twips
    void setPicRightWidth(int twips) override;

    // ---- left panel: the palette -------------------------------------------------
    QWidget *PicLeft = nullptr;
    QPushButton *Cmdクリア = nullptr;
    QPushButton *Cmd元に戻す = nullptr; // undo and redo of the drawing
    QPushButton *Cmdやり直し = nullptr;
    // Enables the two buttons by what the document window can undo and redo.
    void UpdateUndoButtons();
    // Ctrl+Z, and Ctrl+Y or Ctrl+Shift+Z: the drawing's undo and redo in free editing.
    QAction *MUndo = nullptr;
    QAction *MRedo = nullptr;
    void UndoDrawing();
    void RedoDrawing();
    QVector<QToolButton *> Optツール; // 0 pointer, 1 pen, 2 line, 3 eraser, 4 ellipse, 5 hatched ellipse
    QPushButton *Cmd文字の挿入 = nullptr;
    QPushButton *CmdImg = nullptr;
    QGroupBox *Frame線の太さ = nullptr;
    QListWidget *ListPoint = nullptr;
    QLabel *Pic文字の太さ = nullptr;
    QGroupBox *Frame色 = nullptr;
    QPushButton *Cmd色 = nullptr;
    QVector<QLabel *> Label色;
    QLineEdit *Txt登録番号 = nullptr;

    // What the document window reads at the moment of use.
    int currentTool() const override;    // index of the selected Optツール, -1 when none
    QString lineWidthText() const;       // text of ListPoint
    int lineWidth() const override;      // that text as a number of pixels
    QColor drawingColor() const override { return m_drawingColor; } // background of Cmd色
    void setDrawingColor(const QColor &c);
    // Selects a tool; runs Optツール_Click when it was not selected.
    void SelectTool(int index) override;

    // ---- menus -------------------------------------------------------------------
    QMenu *Mメニュー = nullptr;
    QAction *M終了 = nullptr;
    QMenu *MDoc_Head = nullptr;
    MenuArray MDoc;
    QMenu *M履歴_Head = nullptr;
    MenuArray M履歴;
    // The menu bar shows the document window's menus while it is shown.
    void useMenusOf(FM *doc) override;
    void useOwnMenus(FM *doc) override;

    // ---- lifecycle and geometry (twips) -------------------------------------------
    void MDIForm_Load();
    void MDIForm_Resize();
    void MDIForm_Unload();
    int WidthTwips() const override;

    // ---- procedures for the document window --------------------------------------
    void Img貼付() override;
    void Enabled_False() override;
    void Enabled_True() override;
    void showPalette(bool shown) override;
    void showRightPanel(bool shown) override;
    bool rightPanelAutoHides() const override;
    void phraseClassesChanged() override;
    QTreeWidget *historyList() const override { return LV履歴; }
    MenuArray &historyMenu() override { return M履歴; }
    QList<QPair<QString, QString>> patientValues() const override;
    QString authorName() const override;
    void closeMainWindow() override { close(); }

    // ---- handlers ------------------------------------------------------------------
    void MDoc_Click(int index);
    void M履歴_Click(int index);
    void M終了_Click();
    void CbSetName_Click();
    // Inserts the phrase under the cursor into the field being edited, as the
    // picker's 挿入 does.
    void ListSet_DblClick();
    // Opens the document of the history row that was double-clicked.
    void LV履歴_DblClick(int index);
    void Optツール_Click(int index);
    void ListPoint_Click();
    void Cmd色_Click();
    void Label色_Click(int index);
    void Cmdクリア_Click();
    void CmdImg_Click();
    void Cmd文字の挿入_Click();
    void PicRight_MouseMove();
    // Builds the document of history row index (0-based) and opens the saved record.
    void OpenHistoryRow(int index) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createTopBar();
    void createRightPanel();
    void setUpHistoryList();
    void fitHistoryColumns();
    void createPalette();
    void createMenus();
    void fillTopBar();
    void closeOtherPatientsDocument();
    void resetToDesign();
    QMargins expectedFrame() const;
    void keepOnScreen();

    QMdiArea *m_mdi = nullptr;
    WheelScroll *m_wheel = nullptr;
    int m_picRightWidth = 2400;
    QColor m_drawingColor = Qt::black;
    QColor m_dialogColor = Qt::black;
    FM *m_menusOf = nullptr;
    QMargins m_frame;
    bool m_frameKnown = false;
};

// Loads the main window for the current patient and doctor and shows it.
void ShowMainWindow();

// The one main window, or nullptr before it was first created.
FHead *fhead();
FHead &fheadInstance();
