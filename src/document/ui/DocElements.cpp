#include "document/ui/DocElements.h"

#include "app/Units.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFocusEvent>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QStaticText>
#include <QTextOption>

#include <cmath>

Qt::Alignment AlignmentFromInt(int alignment)
{
    switch (alignment) {
    case 1:
        return Qt::AlignRight;
    case 2:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

QPen PenFor(const QColor &color, int style, int widthPx)
{
    QPen pen(color);
    pen.setWidth(std::max(1, widthPx));
    pen.setCapStyle(Qt::FlatCap);
    switch (style) {
    case LineTransparent:
        pen.setStyle(Qt::NoPen);
        break;
    case LineDash:
        pen.setStyle(Qt::DashLine);
        break;
    case LineDot:
        pen.setStyle(Qt::DotLine);
        break;
    case LineDashDot:
        pen.setStyle(Qt::DashDotLine);
        break;
    case LineDashDotDot:
        pen.setStyle(Qt::DashDotDotLine);
        break;
    default:
        pen.setStyle(Qt::SolidLine);
        break;
    }
    return pen;
}

bool PaintsScreenPixels(const QPainter &p)
{
    if (p.testRenderHint(QPainter::Antialiasing) || !p.paintEngine()
        || p.paintEngine()->type() != QPaintEngine::Raster)
        return false;
    const QTransform t = p.deviceTransform();
    return t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx()) && t.dy() == std::floor(t.dy());
}

namespace {
// The laid-out texts of the labels shown lately. A page shows the same
// captions every time a document of its kind is opened; laying them out
// (shaping and breaking into lines) costs more than drawing them.
// Texts with control characters (line breaks) and underlined fonts are
// drawn as they come: laid out once they would not come out the same.
// fontKey names the label's own font; the hash tells apart what the painter
// added to it from the widget's font. QFont::key() would spell out every
// property of the font, at a cost several times that of laying out a caption.
struct LayoutKey
{
    QString text;
    QString fontKey;
    size_t fontHash;
    int width;
    int alignment;
    bool operator==(const LayoutKey &) const = default;
};

size_t qHash(const LayoutKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.text, k.fontKey, k.fontHash, k.width, k.alignment);
}

const QStaticText *LaidOutText(const QString &text, const QFont &font, const QString &fontKey, int width,
                               Qt::Alignment alignment)
{
    if (font.underline())
        return nullptr;
    for (const QChar c : text)
        if (c.unicode() < 0x20)
            return nullptr;
    static QHash<LayoutKey, QStaticText> laidOut;
    const LayoutKey key{text, fontKey, qHash(font), width, int(alignment)};
    auto found = laidOut.find(key);
    if (found == laidOut.end()) {
        if (laidOut.size() > 4096)
            laidOut.clear();
        QStaticText t(text);
        t.setTextFormat(Qt::PlainText);
        QTextOption option(alignment);
        option.setWrapMode(QTextOption::WordWrap);
        t.setTextOption(option);
        t.setTextWidth(width);
        t.prepare(QTransform(), font);
        found = laidOut.insert(key, t);
    }
    return &*found;
}

// Screen readers and other accessibility clients see a label as text, with
// its text as its name.
class DocLabelAccessible : public QAccessibleWidget
{
public:
    explicit DocLabelAccessible(DocLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return static_cast<const DocLabel *>(widget())->text();
        return own;
    }
};

// Found ahead of Qt's own lookup, which would try the label's class name
// against every Qt widget class before settling on a plain widget: a page
// shows hundreds of labels at once.
QAccessibleInterface *DocLabelInterface(const QString &className, QObject *object)
{
    if (object && object->isWidgetType() && className == QLatin1String("DocLabel"))
        return new DocLabelAccessible(static_cast<DocLabel *>(object));
    return nullptr;
}
}

DocLabel::DocLabel(QWidget *parent, int index)
    : QWidget(parent), index(index)
{
    static const bool accessible = (QAccessible::installFactory(DocLabelInterface), true);
    Q_UNUSED(accessible)
}

void DocLabel::copyPropertiesFrom(const DocLabel &design)
{
    m_text = design.m_text;
    m_alignment = design.m_alignment;
    m_fontName = design.m_fontName;
    m_fontSize = design.m_fontSize;
    m_bold = design.m_bold;
    m_underline = design.m_underline;
    m_fontKey = design.m_fontKey;
    m_foreColor = design.m_foreColor;
    m_transparent = design.m_transparent;
    m_backColor = design.m_backColor;
    m_border = design.m_border;
    m_picture = design.m_picture;
    tabIndex = design.tabIndex;
    Tag = design.Tag;
    LinkItem = design.LinkItem;
    DataField = design.DataField;
    // Only what the design element has set: setting a cursor or tool tip is
    // not free, and a page copies hundreds of elements.
    if (design.testAttribute(Qt::WA_SetCursor))
        setCursor(design.cursor());
    else if (testAttribute(Qt::WA_SetCursor))
        unsetCursor();
    if (design.toolTip() != toolTip())
        setToolTip(design.toolTip());
    setEnabled(design.isEnabled());
    setTwips(design.m_twips);
}

void DocLabel::setTwips(const QRect &twips)
{
    m_twips = twips;
    setGeometry(TwipsToPx(twips));
}

void DocLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    update();
}

void DocLabel::setAlignment(int alignment)
{
    m_alignment = alignment;
    update();
}

void DocLabel::setFontName(const QString &name)
{
    m_fontName = name;
    m_fontKey.clear();
    update();
}

void DocLabel::setFontSize(double points)
{
    if (points > 0 && points < 2048)
        m_fontSize = points;
    m_fontKey.clear();
    update();
}

void DocLabel::setFontBold(bool bold)
{
    m_bold = bold;
    m_fontKey.clear();
    update();
}

void DocLabel::setFontUnderline(bool underline)
{
    m_underline = underline;
    m_fontKey.clear();
    update();
}

QString DocLabel::pixelFontKey() const
{
    if (m_fontKey.isEmpty()) {
        // One point is 20 twips.
        const int pixels = std::max(1, TwipsToPx(m_fontSize * 20));
        const uint style = uint(pixels) * 4 + m_bold * 2 + m_underline;
        m_fontKey = m_fontName + QChar(0) + QChar(char16_t(style & 0xffff)) + QChar(char16_t(style >> 16));
    }
    return m_fontKey;
}

QFont DocLabel::pixelFont() const
{
    return pixelFont(pixelFontKey());
}

QFont DocLabel::pixelFont(const QString &key) const
{
    // A page shows hundreds of labels in a handful of fonts; labels of one
    // font share one QFont, so the font is looked up once, not per label.
    static QHash<QString, QFont> fonts;
    const auto found = fonts.constFind(key);
    if (found != fonts.constEnd())
        return *found;
    QFont f(m_fontName);
    f.setPixelSize(std::max(1, TwipsToPx(m_fontSize * 20)));
    f.setBold(m_bold);
    f.setUnderline(m_underline);
    if (fonts.size() > 256)
        fonts.clear();
    fonts.insert(key, f);
    return f;
}

void DocLabel::setForeColor(const QColor &c)
{
    m_foreColor = c;
    update();
}

void DocLabel::setTransparent(bool transparent)
{
    m_transparent = transparent;
    update();
}

void DocLabel::setBackColor(const QColor &c)
{
    m_backColor = c;
    update();
}

void DocLabel::setBorder(bool border)
{
    m_border = border;
    update();
}

void DocLabel::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void DocLabel::paintEvent(QPaintEvent *)
{
    // Most input fields of a new document are empty and see-through.
    if (m_transparent && m_picture.isNull() && m_text.isEmpty() && !m_border)
        return;
    QPainter p(this);
    if (!m_transparent)
        p.fillRect(rect(), m_backColor);
    if (!m_picture.isNull())
        p.drawPixmap(rect(), m_picture);
    if (!m_text.isEmpty()) {
        const QString fontKey = pixelFontKey();
        p.setFont(pixelFont(fontKey));
        p.setPen(isEnabled() ? m_foreColor : QColor(160, 160, 160));
        const QFont font = p.font();
        const QStaticText *laidOut =
            PaintsScreenPixels(p) ? LaidOutText(m_text, font, fontKey, width(), AlignmentFromInt(m_alignment)) : nullptr;
        if (laidOut) {
            // Text longer than the box is cut at the box: on the screen the
            // label's own paint region does that.
            p.drawStaticText(QPoint(0, 0), *laidOut);
        } else {
            // Elsewhere the label clips once itself rather than have drawText
            // save, clip and restore the painter around the text: a restore
            // inside a page rendered onto a printer can bring back a clip
            // that is off the page.
            p.setClipRect(rect());
            p.drawText(rect(), int(AlignmentFromInt(m_alignment) | Qt::AlignTop | Qt::TextWordWrap | Qt::TextDontClip),
                       m_text);
        }
    }
    if (m_border) {
        p.setPen(Qt::black);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

// Whether any part of the label lies within the part of every parent up to
// the window that is itself on screen.
bool DocLabel::showsOnScreen() const
{
    QRect r = rect();
    for (const QWidget *w = this; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) {
        r = r.translated(w->pos()) & w->parentWidget()->rect();
        if (r.isEmpty())
            return false;
    }
    return true;
}

bool DocLabel::event(QEvent *event)
{
    // A label just shown asks for its first paint with a queued update. Each
    // one scrolled out of view would join the window's next repaint on its
    // own, which on a page of hundreds of labels costs more than painting
    // them all; it is painted when it is scrolled into view.
    if (event->type() == QEvent::UpdateLater && !showsOnScreen())
        return true;
    return QWidget::event(event);
}

void DocLabel::changeEvent(QEvent *event)
{
    // A disabled label (free editing) lets the mouse through to the page
    // beneath, moves without a button included: Qt would otherwise drop
    // those at a label without mouse tracking.
    if (event->type() == QEvent::EnabledChange)
        setAttribute(Qt::WA_TransparentForMouseEvents, !isEnabled());
    QWidget::changeEvent(event);
}

void DocLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    emit mousePressed(index, event);
}

void DocLabel::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved(index, event);
}

void DocLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    emit mouseReleased(index, event);
    if (click) {
        // The handler may close the document, this label with it.
        const std::function<void(int)> handler = onClick;
        const int at = index;
        emit clicked(at);
        if (handler)
            handler(at);
    }
}

void DocLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked(index);
}
