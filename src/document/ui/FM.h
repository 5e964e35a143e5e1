#pragma once
#include "document/SurfaceHistory.h"
#include "document/ui/DocElements.h"
#include "document/ui/EditorSlot.h"
#include "document/ui/FMCanvas.h"
#include "document/ui/MenuArray.h"

#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVector>
#include <QWidget>

class QMdiSubWindow;

// The document window: the one MDI child in which a document is filled in.
// It starts blank with element 0 of every family (the design elements);
// BuildDocument turns it into a document of one kind. All positions are twips.
class FM : public QWidget
{
public:
    explicit FM(QWidget *parent = nullptr);
    ~FM() override;

    // The document kind while a document is shown.
    QString Tag;
    // The window's own font, used for text printed onto the surface.
    QString FontName = QStringLiteral("ＭＳ Ｐゴシック");

    // ---- window geometry (twips) -------------------------------------------
    QMdiSubWindow *subWindow() const;
    int Left() const;
    int Top() const;
    int Width() const;  // outer width of the window in the main window
    int Height() const;
    void setLeft(int twips);
    void setTop(int twips);
    // The page (client area) is exactly this size.
    void setPageSize(int widthTwips, int heightTwips);
    int pageWidth() const { return m_pageWidth; }
    int pageHeight() const { return m_pageHeight; }
    // The page's size on the screen.
    QSize pagePixels() const;

    // ---- the page ------------------------------------------------------------
    FMCanvas *canvas() const { return m_canvas; }
    // The persistent drawing surface under every element (free drawing,
    // pasted pictures and texts); white where nothing was drawn.
    QImage &surface();
    // The surface as drawn so far; a null image while the page is all white
    // (a new document has no surface until something is drawn on it).
    const QImage &drawnSurface() const { return m_surface; }
    // Puts a picture of the page's size in place of the surface.
    void setSurface(const QImage &picture);
    // Removes the background picture: the surface becomes white again.
    void clearSurface();
    // Repaints the page after element data (lines, frames, rubber bands) changed.
    void refreshCanvas();
    // Scratch copy of the surface while printing.
    QImage PicCopy;

    // ---- control families (element 0 exists from the start) -------------------
    QVector<DocLabel *> Label;
    QVector<DocLabel *> LbItem;
    QVector<DocShape> Shape枠;
    QVector<DocLabel *> LbKanja_Data;
    QVector<DocLabel *> LbList;
    QVector<DocLine> LineG;
    QVector<DocLine> LinePage;
    QVector<DocLabel *> ImgCheck;

    // Element n of a family (creating n and everything below it from
    // element 0's current properties, hidden), or the existing one.
    // A page being built before it is first shown loads its elements
    // ShownWithPage instead: they appear with the page, which spares every
    // element a hide and a show of its own. On a page already shown the
    // caller still shows them.
    enum class Loaded { Hidden, ShownWithPage };
    DocLabel *LoadLabel(int n, Loaded how = Loaded::Hidden);
    DocLabel *LoadLbItem(int n, Loaded how = Loaded::Hidden); // also loads Shape枠(n)
    DocLabel *LoadLbKanja_Data(int n, Loaded how = Loaded::Hidden);
    DocLabel *LoadLbList(int n, Loaded how = Loaded::Hidden);
    DocLabel *LoadImgCheck(int n, Loaded how = Loaded::Hidden);
    DocShape &LoadShape枠(int n);
    DocLine &LoadLineG(int n);
    DocLine &LoadLinePage(int n);

    // The LbItem whose Tag equals tag (the highest index when several do).
    DocLabel *LI(const QString &tag) const;

    // Reading order of the input fields: row text = element number, key =
    // "%08d:%08d" of top and left; sorted by key as text.
    struct TabRow
    {
        QString text;
        QString key;
    };
    QVector<TabRow> LVTabIndex;

    // ---- other design elements -------------------------------------------------
    // In-place editor, made when first used; Tag = edited field index or "".
    EditorSlot TxtInput{[this] { return new DocEditor(canvas()); }};
    QLabel *Lb登録番号 = nullptr;  // registration number, "0" until saved
    // The stored version of the document as this window read or last saved
    // it; a save finding another one was overtaken by another workstation.
    int StoredVersion = 0;
    QLabel *Img = nullptr;         // floating picture
    QPushButton *CmdImgDel = nullptr;
    QPushButton *CmdImgSize = nullptr;
    DocLabel *LbMoji = nullptr;    // floating text
    QPushButton *CmdMojiDel = nullptr;
    DocLine Line線;   // rubber band of the line tool
    DocShape Shape円; // rubber band of the ellipse tools
    DocShape ShapePoint; // pen-size marker

    // ---- public flags ------------------------------------------------------------
    bool DocumentChanged = false;
    bool PicturePending = false;
    bool TextPending = false;

    // ---- lifecycle ---------------------------------------------------------------
    void Form_Load();
    void Form_Resize();
    // Commits an edit, asks to save a changed document. Returns whether the
    // window may close (false keeps it open).
    bool Form_Unload();
    void 更新チェック更新();
    bool 更新チェック() const;
    void メニューEnabled(bool flag);
    // Commits the in-place editor into its field.
    void テキスト変更();

    // ---- menus ----------------------------------------------------------------------
    QMenu *MAction = nullptr;
    QAction *M印刷 = nullptr;
    MenuArray M保存;
    QAction *区切り線1 = nullptr;
    QAction *M終了 = nullptr;
    QMenu *MDoc_Head = nullptr;
    MenuArray MDoc;
    QMenu *M履歴_Head = nullptr;
    MenuArray M履歴;
    QMenu *M表示切替_Head = nullptr;
    QAction *M通常入力 = nullptr;
    QAction *Mフリー編集 = nullptr;
    // Pop-ups (not in the menu bar).
    QMenu *M挿入_Head = nullptr;
    QAction *M画像挿入 = nullptr;
    QAction *M文字挿入 = nullptr;
    QMenu *D_Menu_Head = nullptr;
    MenuArray D_Menu;
    QMenu *Mメニュー_Head = nullptr;
    QAction *Mメニュー_Add = nullptr;
    QMenu *Mメニュー_Del_Head = nullptr;
    MenuArray Mメニュー_Del;
    QAction *区切り線 = nullptr;
    MenuArray Mメニュー;
    QAction *M定型文 = nullptr;
    QMenu *Mプラマイ = nullptr;
    QAction *Mプラス = nullptr;
    QAction *Mマイナス = nullptr;
    QMenu *MDate_Y_Head = nullptr;
    MenuArray MDate_Y;
    QMenu *MDate_M_Head = nullptr;
    MenuArray MDate_M;
    QMenu *MDate_D_Head = nullptr;
    MenuArray MDate_D;
    // The menus shown in the main window's menu bar while this window is shown.
    QList<QMenu *> menuBarMenus() const;
    // The Tag of a pop-up menu (which field its choice goes to).
    static QString MenuTag(const QMenu *menu);
    static void SetMenuTag(QMenu *menu, const QString &tag);
    // Years from `to` down to `from`, each with its own era: "2019 (R1)".
    void SetYearMenu(int from, int to);

    void M印刷_Click();
    void M保存_Click(int index);
    void M終了_Click();
    void MDoc_Click(int index);
    void M履歴_Click(int index);
    void M通常入力_Click();
    void Mフリー編集_Click();
    void M画像挿入_Click();
    // Commits the in-place editor into its field when it is open.
    void commitOpenEditor();

    // ---- field interactions -----------------------------------------------------
    void LbItem_Click(int index);
    void ImgCheck_Click(int index);
    void Label_Click(int index);
    void LbKanja_Data_Click(int index);
    void Form_Click();
    void MDate_Y_Click(int index);
    void MDate_M_Click(int index);
    void MDate_D_Click(int index);
    void Mプラス_Click();
    void Mマイナス_Click();
    void D_Menu_Click(int index);
    void M定型文_Click();
    // Where template phrases go: TxtInput while it edits a field. Otherwise
    // tells the user "挿入先が選択されていません" and gives nullptr.
    DocEditor *PhraseTarget();
    // Opens the editor on field index.
    void OpenEditor(int index);
    // Opens the editor on the first field in reading order that is shown.
    void OpenFirstField();

    // ---- value menus -----------------------------------------------------------
    void LbList_Click(int index);
    void Mメニュー_Add_Click();
    void Mメニュー_Del_Click(int index);
    void Mメニュー_Click(int index);

    // ---- free editing (mouse on the page; positions in twips) ------------------
    void Form_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void Form_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, double x, double y);
    void Form_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);

    // ---- members added by later work go below this line ------------------------

    // ---- free editing: drawing state, floating picture and text -------------
    bool LineDragging = false;
    bool ShapeDragging = false;
    float DragOriginX = 0;
    int DragOriginY = 0;
    float GrabX = 0;
    int GrabY = 0;
    // The window's current drawing position (twips).
    double CurrentX = 0;
    double CurrentY = 0;
    void Img_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void LbMoji_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void CmdImgSize_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    // One drag step of source with the pointer at (x, y) in window twips.
    void ドラッグ(QWidget *source, double x, double y);
    void CmdImgSize_DragDrop();
    void CmdImgDel_Click();
    void CmdMojiDel_Click();
    void LbMoji_DblClick();
    void ImgCmd_Move();
    void MojiCmd_Move();
    // Connects the floating picture, text and their buttons to the handlers
    // above (once per window).
    void connectFreeEditing();
    QObject *m_freeEditDrag = nullptr;
    // Undo of the drawing: every change of the surface runs between
    // beginDrawing() and endDrawing() and reports what it touched (pixels).
    // A pen stroke stays one step until the button is released.
    void beginDrawing();
    void drewOn(const QRect &px);
    void endDrawing();
    // What the palette's undo and redo (and their keys) do.
    void UndoDrawing();
    void RedoDrawing();
    bool canUndoDrawing() const { return m_history.canUndo(); }
    bool canRedoDrawing() const { return m_history.canRedo(); }
    int undoSteps() const { return m_history.undoCount(); }
    // The surface was replaced as a whole (a document reopened or restored):
    // it becomes the first state, with nothing to undo.
    void surfaceReplaced();
    // Goes up with every change of the surface.
    quint64 surfaceRevision() const { return m_surfaceRevision; }
    // Tells the palette that what can be undone or redone changed.
    void drawingHistoryChanged();
    // ---- end of free editing -------------------------------------------------
    QAction *MPDF出力 = nullptr; // "PDFに出力", below 印刷 in MAction

    // The patient the document belongs to: the patient bar's when the
    // document was built, the stored row's once a saved one is reopened.
    // Saving, drafts, printing and the PDF name use these, never whoever is
    // current meanwhile.
    QString 患者番号;
    QString 患者名;

    // The column names of the kind's table as a reopen read them with the
    // row; empty for a new document. The build then asks the table for its
    // columns only when a field or check box has none among them.
    QStringList StoredColumns;

    // A kept earlier version shown read-only; 0 for the document itself.
    // Such a window is neither edited nor saved (no draft either) and closes
    // without asking.
    int OldVersion = 0;
    // Makes the window show kept version n read-only, titled
    // "<kind> 第n版（旧版）", its save, free-editing and insert menus off.
    void ShowAsOldVersion(int version);

    // ---- field interactions: editor keys, reading order, value menus ---------
    // Key code 9 with shift 1 Shift + 2 Ctrl + 4 Alt: Tab moves on, Shift alone back.
    void TxtInput_KeyDown(int keyCode, int shift);
    // Returns the character that goes into the text, 0 when it is swallowed.
    int TxtInput_KeyPress(int keyAscii);
    void TxtInput_LostFocus();
    // Opens the editor on the field step rows away from index in LVTabIndex,
    // staying on the first or last field.
    void NextTab(int index, int step);
    // Fills Mメニュー_Head with the current doctor's values for item.
    void SetValueMenu(const QString &item);
    // Closes the editor without commit and forgets its field.
    void CloseEditorUnsaved();
    // ---- end of field interactions ------------------------------------------

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    friend bool UnloadFM();
    void createDesignElements();
    void createMenus();
    void connectLabel(DocLabel *label, void (FM::*onClick)(int));
    DocLabel *loadLabelElement(QVector<DocLabel *> &family, int n, void (FM::*onClick)(int), Loaded how);
    QStringList fieldSnapshot() const;
    // After an undo or redo that changed the rectangle changed of the surface.
    void historyStepped(const QRect &changed);

    FMCanvas *m_canvas = nullptr;
    QImage m_surface;
    int m_pageWidth = 0;
    int m_pageHeight = 0;
    bool m_unloaded = false;
    QStringList m_captionSnapshot;
    QStringList m_checkSnapshot;
    SurfaceHistory m_history;
    quint64 m_surfaceRevision = 0;
};

// The one document window, or nullptr when none is loaded.
FM *fm();
// The one document window, loaded (Form_Load) inside the main window when
// there is none.
FM &fmInstance();
// Unloads the document window through Form_Unload. True when it is gone (or
// there was none), false when it stayed open.
bool UnloadFM();
// Builds a new document of kind as 新規作成 does: it starts unchanged, with
// the editor open on its first field in reading order, so that what the
// doctor types goes there at once. False when the old document stayed open.
bool NewDocument(const QString &kind);
// The document window's PhraseTarget(); with no document window the same
// message and nullptr.
DocEditor *PhraseInsertTarget();
