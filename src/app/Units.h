#pragma once
#include <QColor>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <cmath>

// Positions and sizes are kept in twips (1/1440 inch); the screen has 15 twips
// per pixel. This is the only place that converts between the two.
constexpr int kTwipsPerPixel = 15;

inline int TwipsToPx(double twips)
{
    return int(std::lround(twips / kTwipsPerPixel));
}
inline double PxToTwips(double px)
{
    return px * kTwipsPerPixel;
}
inline QPointF PxToTwips(const QPointF &px)
{
    return px * kTwipsPerPixel;
}
// Unrounded, for painting at another scale (printing).
inline double TwipsToPxF(double twips)
{
    return twips / kTwipsPerPixel;
}
inline QPoint TwipsToPx(const QPoint &twips)
{
    return QPoint(TwipsToPx(twips.x()), TwipsToPx(twips.y()));
}
inline QRect TwipsToPx(const QRect &twips)
{
    return QRect(TwipsToPx(twips.x()), TwipsToPx(twips.y()), TwipsToPx(twips.width()),
                 TwipsToPx(twips.height()));
}

// Colours are one integer: red + 256 * green + 65536 * blue.
inline QColor ColorFromInt(long long value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}
inline long long ColorToInt(const QColor &c)
{
    return c.red() + 256LL * c.green() + 65536LL * c.blue();
}
