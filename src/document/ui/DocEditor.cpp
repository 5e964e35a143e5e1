#include "document/ui/DocElements.h"

#include "app/Units.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

// The in-place editor of an input field: keys, focus and the input method.
DocEditor::DocEditor(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(0);
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { keepWithinLimit(position, added); });
    hide();
}

void DocEditor::setTwips(const QRect &twips)
{
    m_twips = twips;
    setGeometry(TwipsToPx(twips));
}

namespace {
bool IsTabKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
}

// 1 Shift + 2 Ctrl + 4 Alt, as the field handlers expect them.
int ShiftState(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers m = event->modifiers();
    int state = 0;
    // Backtab is Shift+Tab, whether or not the platform also reports Shift.
    if ((m & Qt::ShiftModifier) || event->key() == Qt::Key_Backtab)
        state |= 1;
    if (m & Qt::ControlModifier)
        state |= 2;
    if (m & Qt::AltModifier)
        state |= 4;
    return state;
}
}

QVariant DocEditor::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImEnabled)
        return isEnabled() && testAttribute(Qt::WA_InputMethodEnabled);
    return QPlainTextEdit::inputMethodQuery(query);
}

bool DocEditor::event(QEvent *event)
{
    // Tab must reach the field handlers: Qt would move the focus with it, or
    // type a tab character, or let a Ctrl+Tab shortcut take it.
    if (event->type() == QEvent::ShortcutOverride && IsTabKey(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress && IsTabKey(static_cast<QKeyEvent *>(event))) {
        auto *key = static_cast<QKeyEvent *>(event);
        key->accept();
        if (keyDown)
            keyDown(9, ShiftState(key));
        return true;
    }
    return QPlainTextEdit::event(event);
}

bool DocEditor::eventFilter(QObject *watched, QEvent *event)
{
    // The MDI area takes Ctrl+Tab from every widget of the application for
    // switching windows; in the editor it belongs to the fields.
    if (watched == this && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)
        && IsTabKey(static_cast<QKeyEvent *>(event)))
        return DocEditor::event(event);
    return QPlainTextEdit::eventFilter(watched, event);
}

void DocEditor::showEvent(QShowEvent *event)
{
    QPlainTextEdit::showEvent(event);
    // Installed again to stay ahead of filters installed since.
    qApp->installEventFilter(this);
}

void DocEditor::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    qApp->installEventFilter(this);
}

void DocEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        const int ch = keyPress ? keyPress(13) : 13;
        if (ch != 0) {
            // A plain line break, whatever modifier came with Enter.
            insertPlainText(QStringLiteral("\n"));
            ensureCursorVisible();
        }
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void DocEditor::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    switch (event->reason()) {
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
    case Qt::ActiveWindowFocusReason:
        return;
    default:
        break;
    }
    // Hiding the editor moves the focus away too; that is no commit.
    if (isVisible() && lostFocus)
        lostFocus();
}
