#pragma once
#include <QColor>
#include <QList>
#include <QPair>
#include <QString>

class FM;
class MenuArray;
class QMdiArea;
class QTreeWidget;
class QWidget;

// What the document window, the layout builder and the save procedures need
// from the main window that frames them. The main window implements it and
// announces itself with SetDocumentHost(); nothing below the main window
// knows its class. Geometry is in twips.
class DocumentHost
{
public:
    virtual ~DocumentHost() = default;

    // ---- the frame ---------------------------------------------------------------
    virtual QMdiArea *mdiArea() const = 0; // where the document window lives
    virtual int WidthTwips() const = 0;
    virtual void closeMainWindow() = 0;
    // The menu bar shows the document window's menus while it is shown.
    virtual void useMenusOf(FM *doc) = 0;
    virtual void useOwnMenus(FM *doc) = 0;

    // ---- the palette (free editing) ----------------------------------------------
    virtual int currentTool() const = 0;      // 0 pointer ... 5 hatched ellipse, -1 none
    virtual int lineWidth() const = 0;        // pixels
    virtual QColor drawingColor() const = 0;
    virtual void SelectTool(int index) = 0;
    virtual void showPalette(bool shown) = 0;
    // Fixes the floating picture and text into the drawing.
    virtual void Img貼付() = 0;
    // Greys the design for free editing / gives it back its colours.
    virtual void Enabled_False() = 0;
    virtual void Enabled_True() = 0;

    // ---- the right panel: phrases and history ------------------------------------
    virtual void showRightPanel(bool shown) = 0;
    // "自動的に隠す" ticked: the panel folds away while the pointer is over the page.
    virtual bool rightPanelAutoHides() const = 0;
    // A phrase was saved or deleted: the class list shows the classes as
    // they are now, keeping the chosen class while it still exists.
    virtual void phraseClassesChanged() = 0;
    virtual int PicRightWidth() const = 0;
    virtual void setPicRightWidth(int twips) = 0;
    // Rows: text = date, sub-items 1 ID, 2 kind, 3 completion mark.
    virtual QTreeWidget *historyList() const = 0;
    virtual MenuArray &historyMenu() = 0;
    // Builds the document of history row index (0-based) and opens the saved record.
    virtual void OpenHistoryRow(int index) = 0;

    // ---- the top bar -------------------------------------------------------------
    // The patient's values as shown, each with the tag of its patient item.
    virtual QList<QPair<QString, QString>> patientValues() const = 0;
    virtual QString authorName() const = 0; // the doctor writing
};

// The main window, or nullptr while there is none.
DocumentHost *documentHost();
void SetDocumentHost(DocumentHost *host);
// The main window as a widget, which the dialogs it opens are placed over;
// nullptr while there is none.
QWidget *documentHostWindow();
