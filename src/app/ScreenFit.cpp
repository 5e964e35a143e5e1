#include "app/ScreenFit.h"

#include <algorithm>

QRect FitWindowToScreen(const QRect &wanted, const QMargins &frame, const QRect &available)
{
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    const int width = std::max(1, std::min(wanted.width(), available.width() - frameWidth));
    const int height = std::max(1, std::min(wanted.height(), available.height() - frameHeight));
    // The outer rectangle's top-left may lie from the available left/top up to
    // the point where its right/bottom edge meets the available one.
    const int maxLeft = available.left() + available.width() - (width + frameWidth);
    const int maxTop = available.top() + available.height() - (height + frameHeight);
    const int left = std::clamp(wanted.left(), available.left(), std::max(available.left(), maxLeft));
    const int top = std::clamp(wanted.top(), available.top(), std::max(available.top(), maxTop));
    return QRect(left, top, width, height);
}
