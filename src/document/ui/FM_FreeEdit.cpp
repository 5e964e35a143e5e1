#include "document/ui/FM.h"

#include "app/Units.h"
#include "document/ui/DocumentHost.h"
#include "ui/Prompter.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FMCanvas.h"
#include "document/ui/FreeEdit.h"
#include "inserts/ui/F文字挿入.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <cmath>

// Free editing: the palette's tools draw into the page's surface, and the
// floating picture and text are placed, moved, resized and deleted here.

namespace {
const char *const kTwipsProperty = "floatTwips";

QPoint PxAt(double xTwips, double yTwips)
{
    return QPoint(TwipsToPx(xTwips), TwipsToPx(yTwips));
}

int ToolNow()
{
    const DocumentHost *head = documentHost();
    return head ? head->currentTool() : 0;
}

QColor ColorNow()
{
    const DocumentHost *head = documentHost();
    return head ? head->drawingColor() : QColor(Qt::black);
}

int WidthNow()
{
    const DocumentHost *head = documentHost();
    return head ? head->lineWidth() : 1;
}

// Drawing on the surface is aliased so that the pixels are those of the
// stroke, nothing blended at its edges.
void PrepareSurfacePainter(QPainter &p, const QColor &color, int width)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(color, std::max(1, width), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

// Returns the pixels the segment may have touched.
QRect DrawSegment(QImage &surface, double x1, double y1, double x2, double y2, const QColor &color, int width)
{
    QPainter p(&surface);
    PrepareSurfacePainter(p, color, width);
    const QPoint a = PxAt(x1, y1);
    const QPoint b = PxAt(x2, y2);
    if (a == b)
        p.drawPoint(a);
    else
        p.drawLine(a, b);
    const int margin = std::max(1, width) / 2 + 2;
    return QRect(a, b).normalized().adjusted(-margin, -margin, margin, margin);
}

// Manual drag of the floating picture, the floating text and the resize
// handle: the pressed element keeps the mouse until release, and every move
// is handed on in window twips.
class FreeEditDrag : public QObject
{
public:
    explicit FreeEditDrag(FM *owner)
        : QObject(owner), m_fm(owner)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *w = qobject_cast<QWidget *>(watched);
        if (!w)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto *e = static_cast<QMouseEvent *>(event);
            const QPointF t = PxToTwips(1) * e->position();
            if (w == m_fm->Img)
                m_fm->Img_MouseDown(e->button(), e->modifiers(), t.x(), t.y());
            else if (w == m_fm->LbMoji)
                m_fm->LbMoji_MouseDown(e->button(), e->modifiers(), t.x(), t.y());
            else if (w == m_fm->CmdImgSize)
                m_fm->CmdImgSize_MouseDown(e->button(), e->modifiers(), t.x(), t.y());
            else
                return false;
            m_source = w;
            return true;
        }
        case QEvent::MouseMove: {
            if (m_source != w)
                return false;
            auto *e = static_cast<QMouseEvent *>(event);
            const QRect at = FloatTwips(w);
            m_fm->ドラッグ(w, at.x() + PxToTwips(e->position().x()), at.y() + PxToTwips(e->position().y()));
            return true;
        }
        case QEvent::MouseButtonRelease: {
            if (m_source != w)
                return false;
            auto *e = static_cast<QMouseEvent *>(event);
            if (e->buttons() != Qt::NoButton)
                return true;
            m_source = nullptr;
            if (w == m_fm->CmdImgSize)
                m_fm->CmdImgSize_DragDrop();
            return true;
        }
        case QEvent::MouseButtonDblClick:
            if (w == m_fm->LbMoji) {
                if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
                    m_fm->LbMoji_DblClick();
                return true;
            }
            return w == m_fm->Img || w == m_fm->CmdImgSize;
        default:
            return false;
        }
    }

private:
    FM *m_fm;
    QWidget *m_source = nullptr;
};
}

QRect FloatTwips(const QWidget *widget)
{
    if (!widget)
        return QRect();
    if (auto *label = dynamic_cast<const DocLabel *>(widget))
        return label->twips();
    const QVariant stored = widget->property(kTwipsProperty);
    if (stored.isValid() && TwipsToPx(stored.toRect()) == widget->geometry())
        return stored.toRect();
    const QRect g = widget->geometry();
    return QRect(int(PxToTwips(g.x())), int(PxToTwips(g.y())), int(PxToTwips(g.width())),
                 int(PxToTwips(g.height())));
}

void SetFloatTwips(QWidget *widget, const QRect &twips)
{
    if (!widget)
        return;
    if (auto *label = dynamic_cast<DocLabel *>(widget)) {
        label->setTwips(twips);
        return;
    }
    widget->setProperty(kTwipsProperty, twips);
    widget->setGeometry(TwipsToPx(twips));
}

void FM::connectFreeEditing()
{
    if (m_freeEditDrag)
        return;
    m_freeEditDrag = new FreeEditDrag(this);
    for (QWidget *w : {static_cast<QWidget *>(Img), static_cast<QWidget *>(LbMoji), static_cast<QWidget *>(CmdImgSize)})
        w->installEventFilter(m_freeEditDrag);
    connect(CmdImgDel, &QPushButton::clicked, this, [this] { CmdImgDel_Click(); });
    connect(CmdMojiDel, &QPushButton::clicked, this, [this] { CmdMojiDel_Click(); });
}

void FM::Form_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y)
{
    endDrawing();
    CurrentX = x;
    CurrentY = y;
    const int tool = ToolNow();
    if (tool == 2) {
        Line線.x1 = Line線.x2 = int(std::lround(x));
        Line線.y1 = Line線.y2 = int(std::lround(y));
        Line線.color = ColorNow();
        Line線.width = WidthNow();
        Line線.style = LineSolid;
        LineDragging = true;
        DocumentChanged = true;
    }
    if (tool != 4 && tool != 5)
        return;
    Shape円.twips = QRect(int(std::lround(x)), int(std::lround(y)), 0, 0);
    DragOriginX = float(x);
    DragOriginY = int(std::lround(y));
    Shape円.fillColor = ColorNow();
    Shape円.borderColor = ColorNow();
    Shape円.fillStyle = tool == 5 ? FillDownwardDiagonal : FillTransparent;
    ShapeDragging = true;
}

void FM::Form_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers, double x, double y)
{
    const QRect marker = ShapePoint.twips;
    ShapePoint.twips.moveTo(int(std::lround(x - marker.width() / 2.0)), int(std::lround(y - marker.height() / 2.0)));

    if (DocumentHost *head = documentHost())
        if (head->rightPanelAutoHides() && head->PicRightWidth() >= 1000)
            head->setPicRightWidth(10);

    if (PicturePending) {
        const QRect img = FloatTwips(Img);
        MoveFloatTwips(Img, int(std::lround(x - img.width() / 2.0)), int(std::lround(y - img.height() / 2.0)));
        ImgCmd_Move();
        PicturePending = false;
    } else if (LineDragging) {
        Line線.visible = true;
        Line線.x2 = int(std::lround(x));
        Line線.y2 = int(std::lround(y));
    } else if (ShapeDragging) {
        Shape円.visible = true;
        Shape円.borderColor = ColorNow();
        Shape円.borderWidth = WidthNow();
        const int dx = int(std::lround(std::abs(x - DragOriginX)));
        const int dy = int(std::lround(std::abs(DragOriginY - y)));
        Shape円.twips = QRect(int(std::lround(DragOriginX)) - dx, DragOriginY - dy, 2 * dx, 2 * dy);
    } else {
        if (TextPending) {
            LbMoji->moveTwips(int(std::lround(x)), int(std::lround(y)));
            MoveFloatTwips(CmdMojiDel, int(std::lround(x)) + LbMoji->twipWidth(), int(std::lround(y)));
            TextPending = false;
        }
        const int tool = ToolNow();
        if ((tool == 1 || tool == 3) && buttons == Qt::LeftButton) {
            const QColor color = tool == 1 ? ColorNow() : QColor(Qt::white);
            beginDrawing();
            drewOn(DrawSegment(surface(), CurrentX, CurrentY, x, y, color, WidthNow()));
            CurrentX = x;
            CurrentY = y;
            DocumentChanged = true;
        }
    }
    refreshCanvas();
}

void FM::Form_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double, double)
{
    endDrawing(); // the pen stroke ends with the button
    const int tool = ToolNow();
    if (tool == 2) {
        LineDragging = false;
        if (!prompter().question(QStringLiteral("貼り付けますか?"), QString())) {
            Line線.visible = false;
            refreshCanvas();
            return;
        }
        beginDrawing();
        drewOn(DrawSegment(surface(), Line線.x1, Line線.y1, Line線.x2, Line線.y2, ColorNow(), WidthNow()));
        endDrawing();
        Line線.visible = false;
        DocumentChanged = true;
        refreshCanvas();
    }
    if (tool != 4 && tool != 5)
        return;
    ShapeDragging = false;
    if (!prompter().question(QStringLiteral("貼り付けますか?"), QString())) {
        Shape円.visible = false;
        refreshCanvas();
        return;
    }
    const double w = Shape円.twips.width();
    const double h = Shape円.twips.height();
    // Released without horizontal movement there is no aspect to draw with:
    // nothing is drawn.
    if (w > 0) {
        const double radius = std::max(w, h) / 2;
        const double aspect = h / w;
        // The radius is that of the longer axis.
        const double rx = aspect <= 1 ? radius : radius / aspect;
        const double ry = aspect <= 1 ? radius * aspect : radius;
        const double cx = Shape円.twips.x() + w / 2;
        const double cy = Shape円.twips.y() + h / 2;
        beginDrawing(); // before the painter takes the surface
        QPainter p(&surface());
        PrepareSurfacePainter(p, Shape円.fillColor, WidthNow());
        p.setBrush(tool == 5 ? QBrush(Shape円.fillColor, Qt::FDiagPattern) : QBrush(Qt::NoBrush));
        const QPoint topLeft = PxAt(cx - rx, cy - ry);
        const QPoint bottomRight = PxAt(cx + rx, cy + ry);
        const QRect box(topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()));
        p.drawEllipse(box);
        p.end();
        const int margin = WidthNow() / 2 + 2;
        drewOn(box.normalized().adjusted(-margin, -margin, margin, margin));
        endDrawing();
    }
    Shape円.visible = false;
    DocumentChanged = true;
    refreshCanvas();
}

void FM::Img_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y)
{
    GrabX = float(x);
    GrabY = int(std::lround(y));
}

void FM::LbMoji_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y)
{
    GrabX = float(x);
    GrabY = int(std::lround(y));
}

void FM::CmdImgSize_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y)
{
    GrabX = float(x);
    GrabY = int(std::lround(y));
    Img->setEnabled(false);
}

void FM::CmdImgSize_DragDrop()
{
    Img->setEnabled(true);
}

void FM::ドラッグ(QWidget *source, double x, double y)
{
    const int left = int(std::lround(x - GrabX));
    const int top = int(std::lround(y)) - GrabY;
    if (source == Img) {
        MoveFloatTwips(Img, left, top);
        ImgCmd_Move();
    } else if (source == CmdImgSize) {
        MoveFloatTwips(CmdImgSize, left, top);
        const QRect handle = FloatTwips(CmdImgSize);
        QRect img = FloatTwips(Img);
        img.setHeight(handle.y() + handle.height() + 30 - img.y());
        img.setWidth(handle.x() + handle.width() + 20 - img.x());
        SetFloatTwips(Img, img);
        ImgCmd_Move();
    } else if (source == LbMoji) {
        LbMoji->moveTwips(left, top);
        MojiCmd_Move();
    }
    DocumentChanged = true;
}

void FM::ImgCmd_Move()
{
    const QRect img = FloatTwips(Img);
    const QRect handle = FloatTwips(CmdImgSize);
    MoveFloatTwips(CmdImgSize, img.x() + img.width() - handle.width() - 20,
                   img.y() + img.height() - handle.height() - 30);
    const QRect del = FloatTwips(CmdImgDel);
    MoveFloatTwips(CmdImgDel, img.x() + img.width() - del.width() - 20, img.y() + 20);
    // The buttons sit on the picture.
    CmdImgSize->raise();
    CmdImgDel->raise();
}

void FM::MojiCmd_Move()
{
    MoveFloatTwips(CmdMojiDel, LbMoji->twipLeft() + LbMoji->twipWidth(), LbMoji->twipTop());
}

void FM::CmdImgDel_Click()
{
    CmdImgDel->hide();
    CmdImgSize->hide();
    Img->hide();
}

void FM::CmdMojiDel_Click()
{
    LbMoji->setText(QString());
    LbMoji->hide();
    CmdMojiDel->hide();
}

void FM::LbMoji_DblClick()
{
    FreeText current;
    current.text = LbMoji->text();
    current.color = LbMoji->foreColor();
    current.pointSize = LbMoji->fontSize();
    current.bold = LbMoji->fontBold();
    current.underline = LbMoji->fontUnderline();
    F文字挿入::showForEdit(current);
}

void FM::beginDrawing()
{
    m_history.begin(surface());
}

void FM::drewOn(const QRect &px)
{
    m_history.touch(px);
    ++m_surfaceRevision;
}

void FM::endDrawing()
{
    if (!m_history.isOpen())
        return;
    m_history.end();
    drawingHistoryChanged();
}

void FM::UndoDrawing()
{
    historyStepped(m_history.undo(surface()));
}

void FM::RedoDrawing()
{
    historyStepped(m_history.redo(surface()));
}

void FM::historyStepped(const QRect &changed)
{
    if (!changed.isEmpty()) {
        ++m_surfaceRevision;
        DocumentChanged = true;
        refreshCanvas();
    }
    drawingHistoryChanged();
}

void FM::surfaceReplaced()
{
    m_history.reset();
    ++m_surfaceRevision;
    drawingHistoryChanged();
}

void FM::drawingHistoryChanged()
{
    if (docHooks().drawingHistoryChanged)
        docHooks().drawingHistoryChanged();
}
