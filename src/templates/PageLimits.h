#pragma once
#include "app/Units.h"

#include <QtGlobal>

// The largest page a template may describe: ten A4 pages' worth in either
// direction; beyond that the page surface alone would take gigabytes.
constexpr int kA4WidthTwips = 11906;
constexpr int kA4HeightTwips = 16838;
constexpr int kMaxPageWidthTwips = 10 * kA4WidthTwips;
constexpr int kMaxPageHeightTwips = 10 * kA4HeightTwips;

inline bool PageSizeAccepted(int widthTwips, int heightTwips)
{
    return widthTwips <= kMaxPageWidthTwips && heightTwips <= kMaxPageHeightTwips;
}

// What the image of the largest accepted page takes decoded, at four bytes a
// pixel: every page image that can be saved must be readable back.
inline qint64 LargestPageImageBytes()
{
    return qint64(TwipsToPx(kMaxPageWidthTwips)) * TwipsToPx(kMaxPageHeightTwips) * 4;
}
