#include "ui/Placement.h"

#include "app/ScreenFit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

namespace {

bool isPopup(const QWidget *w)
{
    const Qt::WindowType type = w->windowType();
    return type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen || type == Qt::Desktop;
}

QScreen *screenFor(const QWidget *window, const QWidget *owner)
{
    if (owner && owner->screen())
        return owner->screen();
    if (window && window->screen())
        return window->screen();
    return QGuiApplication::primaryScreen();
}

} // namespace

QMargins FrameOf(const QWidget *window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

QWidget *OwnerWindow()
{
    if (QWidget *active = QApplication::activeWindow(); active && active->isVisible() && !isPopup(active))
        return active;
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal->isVisible())
        return modal;
    QWidget *only = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || isPopup(w))
            continue;
        if (only)
            return nullptr;
        only = w;
    }
    return only;
}

void PlaceOver(QWidget *window, const QWidget *owner)
{
    if (!window)
        return;
    if (owner)
        owner = owner->window();
    if (owner == window)
        owner = nullptr;
    const QScreen *screen = screenFor(window, owner);
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    window->ensurePolished();
    // A layout sizes its window only when it is first shown; ask it now.
    if (QLayout *layout = window->layout())
        layout->activate();
    // The frame a window manager adds is known only once the window was shown.
    const QMargins frame = FrameOf(window);
    const QSize wanted = window->size().expandedTo(window->sizeHint()).expandedTo(window->minimumSizeHint());

    const QRect area = owner ? owner->frameGeometry() : avail;
    QRect outer(QPoint(0, 0), wanted.grownBy(frame));
    outer.moveCenter(area.center());
    // Inside the screen, the title bar first.
    const QRect fit = FitWindowToScreen(QRect(outer.topLeft(), wanted), frame, avail);
    window->resize(fit.size().expandedTo(window->minimumSize()));
    window->move(fit.topLeft());
}

void ShowOver(QWidget *window, const QWidget *owner)
{
    if (!window)
        return;
    const bool place = !window->isVisible();
    if (place)
        PlaceOver(window, owner);
    window->show();
    // Shown, the window may have got a frame: centre it with the frame.
    if (place)
        PlaceOver(window, owner);
    window->raise();
    window->activateWindow();
}
