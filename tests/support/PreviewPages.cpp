#include "PreviewPages.h"

#include "printing/ui/Fプレビュー.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include <algorithm>

QImage PreviewPageImage(const Fプレビュー &preview, int page, int dpi)
{
    // The preview widget shows its pages as items of a graphics scene, one
    // below the other, each with its paper at the item's origin in printer
    // pixels.
    const auto *view = preview.Preview->findChild<QGraphicsView *>();
    if (!view || !view->scene())
        return {};
    QList<QGraphicsItem *> pages = view->scene()->items();
    std::sort(pages.begin(), pages.end(), [](const QGraphicsItem *a, const QGraphicsItem *b) {
        return a->scenePos().y() < b->scenePos().y();
    });
    if (page < 1 || page > pages.size())
        return {};
    const QPrinter &printer = preview.printer();
    const QRectF paper(QPointF(0, 0), printer.pageLayout().fullRectPixels(printer.resolution()).size());
    const QRectF source = pages[page - 1]->mapRectToScene(paper);
    const QSize size = (paper.size() * dpi / printer.resolution()).toSize();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    view->scene()->render(&painter, QRectF(QPointF(0, 0), size), source, Qt::IgnoreAspectRatio);
    return image;
}
