#pragma once
#include <QCursor>
#include <QPixmap>

// Pictures of the palette's tool buttons: 0 pointer, 1 pen, 3 eraser,
// 4 ellipse, 5 hatched ellipse (2, the straight line, is the caption "／").
QPixmap ToolPicture(int tool);
// The page's pointer for the pen and the eraser, made from their pictures.
QCursor ToolCursor(int tool);
