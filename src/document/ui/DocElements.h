#pragma once
#include <QColor>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>

class QPainter;

// The element kinds of a document page. Every position and size is kept in
// twips; the pixel geometry is derived from it, so moving an element away
// and back (printing) restores it exactly.

// Text alignment of the templates: 0 left, 1 right, 2 centred.
Qt::Alignment AlignmentFromInt(int alignment);

// A label of the page: fixed text, input field, patient field, "▼" button,
// check picture, floating text. A light widget that paints itself.
class DocLabel : public QWidget
{
    Q_OBJECT
public:
    DocLabel(QWidget *parent, int index);

    const int index; // element number in its family

    // Copies every property of the design element (element 0) as it stands
    // now, all but whether it is shown.
    void copyPropertiesFrom(const DocLabel &design);

    QRect twips() const { return m_twips; }
    void setTwips(const QRect &twips);
    int twipLeft() const { return m_twips.x(); }
    int twipTop() const { return m_twips.y(); }
    int twipWidth() const { return m_twips.width(); }
    int twipHeight() const { return m_twips.height(); }
    void moveTwips(int left, int top) { setTwips(QRect(left, top, m_twips.width(), m_twips.height())); }

    QString text() const { return m_text; }
    void setText(const QString &text);
    int alignment() const { return m_alignment; }
    void setAlignment(int alignment);

    QString fontName() const { return m_fontName; }
    void setFontName(const QString &name);
    double fontSize() const { return m_fontSize; } // points
    void setFontSize(double points);
    bool fontBold() const { return m_bold; }
    void setFontBold(bool bold);
    bool fontUnderline() const { return m_underline; }
    void setFontUnderline(bool underline);
    // The font for drawing at screen scale (points converted through twips).
    QFont pixelFont() const;

    QColor foreColor() const { return m_foreColor; }
    void setForeColor(const QColor &c);
    // BackStyle: transparent (0) or opaque (1) with backColor.
    bool isTransparent() const { return m_transparent; }
    void setTransparent(bool transparent);
    QColor backColor() const { return m_backColor; }
    void setBackColor(const QColor &c);
    // Optional border (the floating text shows none; kept for completeness).
    void setBorder(bool border);

    QPixmap picture() const { return m_picture; }
    // Pictures are stretched over the element (check boxes).
    void setPicture(const QPixmap &picture);

    // Position in the window's focus order as the template gives it.
    int tabIndex = 0;
    QString Tag;
    QString LinkItem;  // data kind: "0" number, "1" text, "2" memo
    QString DataField; // click action, or "0"/"1" state of a check box
    // What a click does, set by the window that shows the label (called
    // after the clicked signal; cheaper than a connection per element).
    std::function<void(int index)> onClick;

signals:
    void mousePressed(int index, QMouseEvent *event);
    void mouseMoved(int index, QMouseEvent *event);
    void mouseReleased(int index, QMouseEvent *event);
    // Left button pressed and released over the element.
    void clicked(int index);
    void doubleClicked(int index);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool showsOnScreen() const;
    QString pixelFontKey() const;
    QFont pixelFont(const QString &key) const;
    QRect m_twips;
    QString m_text;
    int m_alignment = 0;
    QString m_fontName;
    double m_fontSize = 9;
    bool m_bold = false;
    bool m_underline = false;
    mutable QString m_fontKey; // pixelFontKey(), made when first asked for
    QColor m_foreColor = Qt::black;
    bool m_transparent = true;
    QColor m_backColor = Qt::white;
    bool m_border = false;
    QPixmap m_picture;
    bool m_pressed = false;
};

// Line styles of the templates.
enum LineStyle { LineTransparent = 0, LineSolid, LineDash, LineDot, LineDashDot, LineDashDotDot, LineInsideSolid };

// A ruled line, page line or rubber band, painted by the page canvas.
struct DocLine
{
    int index = 0;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0; // twips
    QColor color = Qt::black;           // BorderColor
    int style = LineSolid;
    int width = 1; // pixels
    bool visible = false;
    QString Tag;
};

// Fill styles of shapes: 0 solid, 1 transparent, 5 downward diagonal hatching.
enum FillStyle { FillSolid = 0, FillTransparent = 1, FillDownwardDiagonal = 5 };

// A rectangle or ellipse painted by the page canvas (field frames, rubber
// band of the ellipse tools, pen-size marker).
struct DocShape
{
    enum Kind { Rectangle, Oval, Circle };
    int index = 0;
    Kind kind = Rectangle;
    QRect twips;
    QColor borderColor = Qt::black;
    int borderStyle = LineSolid;
    int borderWidth = 1; // pixels
    QColor fillColor = Qt::black;
    int fillStyle = FillTransparent;
    bool visible = false;
    QString Tag;
};

QPen PenFor(const QColor &color, int style, int widthPx);

// Whether p draws onto pixels as the screen has them: the raster engine, no
// scaling, a whole-pixel offset, no antialiasing. Painting on the screen takes
// shortcuts that give exactly these pixels; a printer gets the plain drawing.
bool PaintsScreenPixels(const QPainter &p);

// The in-place editor laid over an input field.
class DocEditor : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit DocEditor(QWidget *parent);

    // The index of the edited field as text, or "" before the first edit.
    QString Tag;
    // The text the editor last took from its field or wrote into it; a
    // commit with nothing typed since leaves the field as it is.
    QString syncedText;

    QRect twips() const { return m_twips; }
    void setTwips(const QRect &twips);
    QString text() const { return toPlainText(); }
    // Shows text as it is, also when it is longer than the limit.
    void setText(const QString &text);
    // The most characters typing, pasting or inserting may make the text
    // (0: no limit). A text already longer may shrink but not grow.
    void setMaxLength(int characters) { m_maxLength = characters; }

    // Keyboard and focus hooks, set by the document window.
    // Tab and Shift+Tab (key code 9) with the modifiers as 1 Shift + 2 Ctrl + 4 Alt.
    std::function<void(int keyCode, int shift)> keyDown;
    // A typed character (9 Tab, 13 Enter): returns what goes into the text, 0 for nothing.
    std::function<int(int keyAscii)> keyPress;
    // The focus went to another control. Not called for pop-up menus, the menu
    // bar or another window taking it, nor when the editor is being hidden.
    std::function<void()> lostFocus;

    using QPlainTextEdit::inputMethodQuery;
    // The input method follows WA_InputMethodEnabled (number fields turn it off).
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void keepWithinLimit(int position, int added);

    QRect m_twips;
    int m_maxLength = 0;
    int m_length = 0;      // characters after the last change
    bool m_settingText = false;
};
