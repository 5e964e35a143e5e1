#pragma once
#include <QWidget>

class FM;

// The page of the document window: the persistent drawing surface, then the
// ruled lines, page lines, field frames and rubber bands, all from the
// window's element data in twips. The label elements are its children and
// paint above all that.
class FMCanvas : public QWidget
{
public:
    explicit FMCanvas(FM *owner);

    // Whether the page paints its drawing surface (on by default). Printing
    // switches it off while it puts the surface on paper itself.
    void setSurfacePainted(bool painted) { m_surfacePainted = painted; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    FM *m_fm;
    bool m_pressed = false;
    bool m_surfacePainted = true;
};
