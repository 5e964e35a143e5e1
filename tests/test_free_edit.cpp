#include "AppHome.h"

#include "app/AppState.h"
#include "app/Units.h"
#include "app/ui/FHead.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "document/ui/FMCanvas.h"
#include "document/ui/FreeEdit.h"
#include "inserts/ui/FImg.h"
#include "inserts/ui/F文字挿入.h"
#include "persistence/ui/DocumentBinding.h"
#include "storage/Ini.h"
#include "templates/ui/BuildDocument.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QMdiSubWindow>
#include <QtTest>

namespace {
const QColor kWhite(Qt::white);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

// A 6000 x 6000 twip document (400 x 400 pixels) in free-edit mode with the
// picture and text dialogs wired.
struct DrawHome : AppHome
{
    FHead *head = nullptr;
    FM *doc = nullptr;
    DrawHome()
    {
        CurrentDrName = QStringLiteral("山田　太郎");
        PatientID = QStringLiteral("1");
        writeTemplate(QStringLiteral("k"), {QStringLiteral("Width=6000"), QStringLiteral("Height=6000"),
                                            QStringLiteral("label_0=1500|3000|1500|600|0|固定"),
                                            QStringLiteral("LineG_0=0|900|6000|900|255|1|1")});
        InstallFreeEditHooks();
        head = &loadMainWindow(true);
        doc = build(QStringLiteral("k"));
        doc->Mフリー編集_Click();
        doc->DocumentChanged = false;
    }
    ~DrawHome()
    {
        F文字挿入::unload();
        FImg::unload();
    }
    void tool(int index, const QString &width = QStringLiteral("1"), const QColor &color = kRed)
    {
        head->SelectTool(index);
        const auto found = head->ListPoint->findItems(width, Qt::MatchExactly);
        head->ListPoint->setCurrentItem(found.value(0));
        head->setDrawingColor(color);
    }
    QColor px(int x, int y) const { return doc->surface().pixelColor(x, y); }
    // Pixels of colour c inside rect.
    int count(const QRect &rect, const QColor &c) const
    {
        int n = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                n += px(x, y) == c;
        return n;
    }
    // Groups of touching (also diagonally) non-white pixels inside rect, and how many pixels they hold.
    static QPair<int, int> inkGroups(const QImage &image, const QRect &rect)
    {
        auto ink = [&image](int x, int y) {
            const QColor c = image.pixelColor(x, y);
            return std::min({c.red(), c.green(), c.blue()}) < 240;
        };
        QVector<bool> seen(rect.width() * rect.height(), false);
        int groups = 0, pixels = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x) {
                if (seen[(y - rect.top()) * rect.width() + x - rect.left()] || !ink(x, y))
                    continue;
                ++groups;
                QVector<QPoint> todo{QPoint(x, y)};
                seen[(y - rect.top()) * rect.width() + x - rect.left()] = true;
                while (!todo.isEmpty()) {
                    const QPoint p = todo.takeLast();
                    ++pixels;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const QPoint n = p + QPoint(dx, dy);
                            if (!rect.contains(n))
                                continue;
                            bool &s = seen[(n.y() - rect.top()) * rect.width() + n.x() - rect.left()];
                            if (!s && ink(n.x(), n.y())) {
                                s = true;
                                todo << n;
                            }
                        }
                }
            }
        return {groups, pixels};
    }
    bool allWhite() const { return count(doc->surface().rect(), kWhite) == doc->surface().width() * doc->surface().height(); }
};
}

class TestFreeEdit : public QObject
{
    Q_OBJECT

private slots:
    void penAndEraser();
    void lineAsksBeforeBurningIn();
    void ellipseGrowsAroundThePressPoint();
    void mouseOnDisabledLabelsDraws();
    void insertedPictureFollowsMouseHandleAndDrag();
    void realDragKeepsTheGrabOffset();
    void newTextPlacedByFirstMoveEditKeepsPlace();
    void newTextFollowsAMoveOverADisabledLabel();
    void leavingFreeEditBurnsInWithAnd();
    void shrunkPictureKeepsItsThinOutlines();
    void clearAndColourChoice();
    void undoAndRedoWithKeysAndPalette();
    void undoKeepsFiftyStepsAndStopsAtTheOpenedDrawing();
    void undoButtonsGoGreyWhenTheDocumentIsClosed();
    void transparentPartsOfAPictureLeaveTheDrawing();
    void typedTextStaysOnModeSwitch();
    void upperCaseTemplateGetsItsLineColoursBack();
    void fixedPictureOrTextIsAChangeToSave();
};

void TestFreeEdit::penAndEraser()
{
    DrawHome h;
    FM *doc = h.doc;
    h.tool(1);
    // Right button and no button draw nothing; the marker still follows.
    doc->Form_MouseDown(Qt::RightButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::RightButton, {}, 3000, 1500);
    doc->Form_MouseMove(Qt::NoButton, {}, 3000, 1500);
    QVERIFY(h.allWhite());
    QVERIFY(!doc->DocumentChanged);
    QCOMPARE(doc->ShapePoint.twips.center().x(), 3000);

    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 3000);
    QCOMPARE(h.px(150, 100), kRed);
    QCOMPARE(h.px(200, 150), kRed);
    QCOMPARE(h.px(150, 101), kWhite); // width 1
    QVERIFY(doc->DocumentChanged);
    // A new press starts a new stroke: nothing joins it to the last one.
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 4500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 4500);
    QCOMPARE(h.px(150, 300), kRed);
    QCOMPARE(h.count(QRect(101, 201, 98, 98), kRed), 0);

    // An entry that is not a number draws with width 1.
    h.head->ListPoint->setCurrentRow(-1);
    QCOMPARE(h.head->lineWidth(), 1);
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 5250);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 5250);
    QCOMPARE(h.px(150, 350), kRed);
    QCOMPARE(h.px(150, 351), kWhite);

    // The eraser paints white in the chosen width; the colour does not matter.
    h.tool(3, QStringLiteral("12"), kBlue);
    QCOMPARE(doc->ShapePoint.twips.size(), QSize(180, 180));
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 1500);
    QCOMPARE(h.count(QRect(110, 95, 80, 11), kWhite), 80 * 11);
    QCOMPARE(h.count(doc->surface().rect(), kBlue), 0);
    QCOMPARE(h.px(150, 300), kRed);
}

void TestFreeEdit::lineAsksBeforeBurningIn()
{
    DrawHome h;
    FM *doc = h.doc;
    h.tool(2, QStringLiteral("3"));
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 4500, 1500);
    QVERIFY(doc->Line線.visible && doc->LineDragging);
    QCOMPARE(QLine(doc->Line線.x1, doc->Line線.y1, doc->Line線.x2, doc->Line線.y2), QLine(1500, 1500, 4500, 1500));
    QVERIFY(h.allWhite()); // the rubber band is not in the drawing
    doc->Form_MouseUp(Qt::LeftButton, {}, 4500, 1500);
    QCOMPARE(h.prompts.questions, QStringList{QStringLiteral("貼り付けますか?")});
    QCOMPARE(h.prompts.titles, QStringList{QString()});
    QVERIFY(!doc->LineDragging && !doc->Line線.visible);
    QVERIFY(h.allWhite());

    h.prompts.answers = {true};
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 4500, 1500);
    doc->Form_MouseUp(Qt::LeftButton, {}, 4500, 1500);
    QCOMPARE(h.count(QRect(110, 99, 180, 3), kRed), 180 * 3);
    QCOMPARE(h.px(200, 103), kWhite);
    QVERIFY(!doc->Line線.visible && doc->DocumentChanged);

    // A click without movement still asks; Yes leaves a dot.
    h.tool(2, QStringLiteral("6"), kBlue);
    h.prompts.answers = {true};
    doc->Form_MouseDown(Qt::LeftButton, {}, 4500, 4500);
    doc->Form_MouseUp(Qt::LeftButton, {}, 4500, 4500);
    QCOMPARE(h.prompts.questions.size(), 3);
    QCOMPARE(h.px(300, 300), kBlue);
    QVERIFY(h.count(QRect(290, 290, 20, 20), kBlue) < 60);
}

void TestFreeEdit::ellipseGrowsAroundThePressPoint()
{
    DrawHome h;
    FM *doc = h.doc;
    h.tool(4, QStringLiteral("1"), kBlue);
    doc->Form_MouseDown(Qt::LeftButton, {}, 1000, 1000);
    doc->Form_MouseMove(Qt::LeftButton, {}, 1600, 1300);
    QVERIFY(doc->Shape円.visible);
    QCOMPARE(doc->Shape円.twips, QRect(400, 700, 1200, 600));
    QCOMPARE(doc->Shape円.fillStyle, int(FillTransparent));
    doc->Form_MouseUp(Qt::LeftButton, {}, 1600, 1300);
    QVERIFY(!doc->Shape円.visible && !doc->ShapeDragging);
    QVERIFY(h.allWhite());

    h.prompts.answers = {true};
    doc->Form_MouseDown(Qt::LeftButton, {}, 1000, 1000);
    doc->Form_MouseMove(Qt::LeftButton, {}, 1600, 1300);
    doc->Form_MouseUp(Qt::LeftButton, {}, 1600, 1300);
    // Radius 600 across, 300 up and down around (1000, 1000): pixels 27..107
    // by 47..87 around (67, 67).
    QVERIFY(h.count(QRect(26, 64, 3, 7), kBlue) > 0);   // left end
    QVERIFY(h.count(QRect(105, 64, 3, 7), kBlue) > 0);  // right end
    QVERIFY(h.count(QRect(64, 46, 7, 3), kBlue) > 0);   // top
    QVERIFY(h.count(QRect(64, 86, 7, 3), kBlue) > 0);   // bottom
    QCOMPARE(h.count(QRect(0, 0, 400, 45), kBlue), 0);  // not a circle of 600
    QCOMPARE(h.count(QRect(0, 90, 400, 310), kBlue), 0);
    QCOMPARE(h.count(QRect(40, 55, 55, 25), kBlue), 0); // hollow
    QVERIFY(doc->DocumentChanged);

    // Hatched: the inside gets diagonal lines of the colour.
    doc->clearSurface();
    h.tool(5, QStringLiteral("1"), kRed);
    h.prompts.answers = {true};
    doc->Form_MouseDown(Qt::LeftButton, {}, 3000, 3000);
    QCOMPARE(doc->Shape円.fillStyle, int(FillDownwardDiagonal));
    doc->Form_MouseMove(Qt::LeftButton, {}, 3900, 3900);
    doc->Form_MouseUp(Qt::LeftButton, {}, 3900, 3900);
    const int inside = h.count(QRect(180, 180, 40, 40), kRed);
    QVERIFY(inside > 100 && inside < 1400);
    QCOMPARE(h.px(200, 200) == kRed, h.px(201, 201) == kRed); // runs down to the right

    // Released without horizontal movement: nothing drawn, no failure.
    doc->clearSurface();
    h.prompts.answers = {true};
    doc->Form_MouseDown(Qt::LeftButton, {}, 3000, 3000);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 3600);
    QCOMPARE(doc->Shape円.twips, QRect(3000, 2400, 0, 1200));
    doc->Form_MouseUp(Qt::LeftButton, {}, 3000, 3600);
    QVERIFY(h.allWhite());
    QVERIFY(!doc->Shape円.visible);
}

void TestFreeEdit::mouseOnDisabledLabelsDraws()
{
    DrawHome h;
    FM *doc = h.doc;
    h.tool(1, QStringLiteral("1"), kRed);
    DocLabel *label = doc->Label[0];
    QVERIFY(!label->isEnabled());
    // The label covers pixels (100, 200) to (200, 240).
    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(QPointF(doc->CurrentX, doc->CurrentY), QPointF(1650, 3150));
    QTest::mouseMove(label, QPoint(60, 10));
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(60, 10));
    QCOMPARE(h.px(130, 210), kRed);
    QVERIFY(doc->DocumentChanged);
}

void TestFreeEdit::insertedPictureFollowsMouseHandleAndDrag()
{
    DrawHome h;
    FM *doc = h.doc;
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::green);
    QVERIFY(picture.save(h.home.data(QStringLiteral("Picture/marker.jpg"))));
    h.tool(1);
    h.head->CmdImg_Click();
    FImg *dialog = FImg::loaded();
    QVERIFY(dialog);
    // A tool chosen while the dialog is open does not paste the new picture.
    h.head->SelectTool(1);
    QTRY_VERIFY(!dialog->thumbnailsLoading() && dialog->thumbnailCount() == 1);
    dialog->LV画像リスト->setCurrentRow(0);
    dialog->CmdOK_Click();
    QVERIFY(!doc->Img->isHidden() && !doc->CmdImgSize->isHidden() && !doc->CmdImgDel->isHidden());
    QVERIFY(doc->PicturePending);
    QCOMPARE(h.head->currentTool(), 0);
    QCOMPARE(FloatTwips(doc->Img).size(), QSize(600, 450));

    doc->Form_MouseMove(Qt::NoButton, {}, 3000, 3000);
    QVERIFY(!doc->PicturePending);
    QCOMPARE(FloatTwips(doc->Img), QRect(2700, 2775, 600, 450));
    doc->Form_MouseMove(Qt::NoButton, {}, 4000, 4000);
    QCOMPARE(FloatTwips(doc->Img).topLeft(), QPoint(2700, 2775));
    QVERIFY(!doc->DocumentChanged);

    // The handle dragged 100 right and down: the picture grows by 100 each way.
    const QRect handle = FloatTwips(doc->CmdImgSize);
    QCOMPARE(handle.bottomRight() + QPoint(1, 1), QPoint(3300 - 20, 3225 - 30));
    doc->CmdImgSize_MouseDown(Qt::LeftButton, {}, 90, 120);
    QVERIFY(!doc->Img->isEnabled());
    doc->ドラッグ(doc->CmdImgSize, handle.x() + 90 + 100, handle.y() + 120 + 100);
    doc->CmdImgSize_DragDrop();
    QVERIFY(doc->Img->isEnabled());
    QCOMPARE(FloatTwips(doc->Img), QRect(2700, 2775, 700, 550));
    const QRect del = FloatTwips(doc->CmdImgDel);
    QCOMPARE(QPoint(del.x() + del.width(), del.y()), QPoint(2700 + 700 - 20, 2775 + 20));
    QVERIFY(doc->DocumentChanged);

    doc->DocumentChanged = false;
    doc->Img_MouseDown(Qt::LeftButton, {}, 50, 60);
    doc->ドラッグ(doc->Img, 2750, 2835); // back where it was
    QCOMPARE(FloatTwips(doc->Img).topLeft(), QPoint(2700, 2775));
    QVERIFY(doc->DocumentChanged);
    doc->ドラッグ(doc->Img, 1050, 1060);
    QCOMPARE(FloatTwips(doc->Img).topLeft(), QPoint(1000, 1000));
    QCOMPARE(FloatTwips(doc->CmdImgSize).topLeft(), QPoint(1000 + 700 - 285 - 20, 1000 + 550 - 285 - 30));

    // "×" discards it: nothing is drawn.
    doc->CmdImgDel->click();
    QVERIFY(doc->Img->isHidden() && doc->CmdImgSize->isHidden() && doc->CmdImgDel->isHidden());
    h.head->Img貼付();
    QVERIFY(h.allWhite());
}

void TestFreeEdit::realDragKeepsTheGrabOffset()
{
    DrawHome h;
    FM *doc = h.doc;
    QPixmap picture(20, 20);
    picture.fill(Qt::black);
    doc->Img->setPixmap(picture);
    SetFloatTwips(doc->Img, QRect(1500, 1500, 1500, 1500));
    doc->Img->show();
    doc->CmdImgSize->show();
    doc->ImgCmd_Move();
    QTest::mousePress(doc->Img, Qt::LeftButton, {}, QPoint(5, 6));
    QTest::mouseMove(doc->Img, QPoint(25, 16));
    QTest::mouseMove(doc->Img, QPoint(25, 16)); // relative to where it is now
    QTest::mouseRelease(doc->Img, Qt::LeftButton, {}, QPoint(5, 6));
    QCOMPARE(FloatTwips(doc->Img), QRect(1500 + 600, 1500 + 300, 1500, 1500));
    QVERIFY(h.allWhite()); // the press did not draw or start a stroke
    QVERIFY(doc->DocumentChanged);

    const QRect handle = FloatTwips(doc->CmdImgSize);
    QTest::mousePress(doc->CmdImgSize, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseMove(doc->CmdImgSize, QPoint(12, 12));
    QTest::mouseRelease(doc->CmdImgSize, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(FloatTwips(doc->CmdImgSize).topLeft(), handle.topLeft() + QPoint(150, 150));
    QCOMPARE(FloatTwips(doc->Img).size(), QSize(1650, 1650));
    QVERIFY(doc->Img->isEnabled());
}

void TestFreeEdit::newTextPlacedByFirstMoveEditKeepsPlace()
{
    DrawHome h;
    FM *doc = h.doc;
    h.head->Cmd文字の挿入_Click();
    F文字挿入 *dialog = F文字挿入::loaded();
    QVERIFY(dialog);
    dialog->Txt文字->setText(QStringLiteral("右上腹部痛"));
    dialog->Label色_Click(2);
    dialog->CmdOK_Click();
    QVERIFY(!doc->LbMoji->isHidden() && !doc->CmdMojiDel->isHidden());
    QCOMPARE(doc->LbMoji->text(), QStringLiteral("右上腹部痛"));
    QCOMPARE(doc->LbMoji->foreColor(), kRed);
    QVERIFY(doc->TextPending);

    doc->Form_MouseMove(Qt::NoButton, {}, 2000, 3000);
    QVERIFY(!doc->TextPending);
    QCOMPARE(doc->LbMoji->twips().topLeft(), QPoint(2000, 3000));
    QCOMPARE(FloatTwips(doc->CmdMojiDel).topLeft(), QPoint(2000 + doc->LbMoji->twipWidth(), 3000));
    doc->Form_MouseMove(Qt::NoButton, {}, 4000, 4000);
    QCOMPARE(doc->LbMoji->twips().topLeft(), QPoint(2000, 3000));

    // Edit: the dialog gets the label's text; the label stays where it is.
    doc->LbMoji_DblClick();
    dialog = F文字挿入::loaded();
    QVERIFY(dialog);
    QCOMPARE(dialog->Txt文字->text(), QStringLiteral("右上腹部痛"));
    QCOMPARE(dialog->LabelIndex->text(), QStringLiteral("1"));
    const int oldWidth = doc->LbMoji->twipWidth();
    dialog->Txt文字->setText(QStringLiteral("右上腹部痛（圧痛あり）"));
    dialog->CmdOK_Click();
    QVERIFY(!doc->TextPending);
    QCOMPARE(doc->LbMoji->twips().topLeft(), QPoint(2000, 3000));
    QVERIFY(doc->LbMoji->twipWidth() > oldWidth);
    QCOMPARE(FloatTwips(doc->CmdMojiDel).topLeft(), QPoint(2000 + doc->LbMoji->twipWidth(), 3000));
    QCOMPARE(doc->LbMoji->foreColor(), kRed);

    doc->DocumentChanged = false;
    doc->LbMoji_MouseDown(Qt::LeftButton, {}, 30, 40);
    doc->ドラッグ(doc->LbMoji, 1030, 1040);
    QCOMPARE(doc->LbMoji->twips().topLeft(), QPoint(1000, 1000));
    QCOMPARE(FloatTwips(doc->CmdMojiDel).topLeft(), QPoint(1000 + doc->LbMoji->twipWidth(), 1000));
    QVERIFY(doc->DocumentChanged);

    doc->CmdMojiDel->click();
    QVERIFY(doc->LbMoji->isHidden() && doc->CmdMojiDel->isHidden());
    QVERIFY(doc->LbMoji->text().isEmpty());
}

void TestFreeEdit::newTextFollowsAMoveOverADisabledLabel()
{
    DrawHome h;
    FM *doc = h.doc;
    h.head->Cmd文字の挿入_Click();
    F文字挿入 *dialog = F文字挿入::loaded();
    QVERIFY(dialog);
    dialog->Txt文字->setText(QStringLiteral("右上腹部痛"));
    dialog->CmdOK_Click();
    QVERIFY(doc->TextPending);

    // The pointer comes onto the page over a field label, which free editing
    // has disabled, with no button down: the move is the page's all the same.
    // The label covers pixels (100, 200) to (200, 240).
    DocLabel *label = doc->Label[0];
    QVERIFY(!label->isEnabled());
    QTest::mouseMove(label, QPoint(10, 10));
    QVERIFY(!doc->TextPending);
    QCOMPARE(doc->LbMoji->twips().topLeft(), QPoint(1650, 3150));
    QCOMPARE(FloatTwips(doc->CmdMojiDel).topLeft(), QPoint(1650 + doc->LbMoji->twipWidth(), 3150));

    // Back in normal input the labels take the mouse again.
    doc->M通常入力_Click();
    QVERIFY(label->isEnabled());
    QVERIFY(!label->testAttribute(Qt::WA_TransparentForMouseEvents));
}

void TestFreeEdit::leavingFreeEditBurnsInWithAnd()
{
    DrawHome h;
    FM *doc = h.doc;
    h.tool(1, QStringLiteral("24"), kRed);
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 4500, 1500);
    // A picture: white left half, cyan right half, over the red stroke.
    QPixmap picture(20, 10);
    picture.fill(Qt::white);
    {
        QPainter p(&picture);
        p.fillRect(QRect(10, 0, 10, 10), QColor(0, 255, 255));
    }
    doc->Img->setPixmap(picture);
    SetFloatTwips(doc->Img, QRect(1500, 1200, 3000, 600)); // pixels 100..300 x 80..120
    doc->Img->show();
    doc->CmdImgDel->show();
    doc->CmdImgSize->show();
    doc->M通常入力_Click();
    QVERIFY(doc->Img->isHidden() && doc->CmdImgDel->isHidden() && doc->CmdImgSize->isHidden());
    QCOMPARE(h.px(150, 100), kRed);              // white keeps the stroke
    QCOMPARE(h.px(150, 85), kWhite);
    QCOMPARE(h.px(250, 100), QColor(0, 0, 0));   // red AND cyan
    QCOMPARE(h.px(250, 85), QColor(0, 255, 255)); // white AND cyan
    QCOMPARE(h.head->currentTool(), 0);
    QVERIFY(h.head->PicLeft->isHidden());
    QVERIFY(doc->Label[0]->isEnabled());
    QCOMPARE(doc->LineG[0].color, kRed);
}

void TestFreeEdit::shrunkPictureKeepsItsThinOutlines()
{
    DrawHome h;
    FM *doc = h.doc;
    // A body chart of one-pixel outlines: a circle crossed by a diagonal, a
    // horizontal and a vertical line, placed so that taking every third
    // pixel would miss the straight lines altogether.
    QImage chart(300, 300, QImage::Format_RGB32);
    chart.fill(Qt::white);
    {
        QPainter p(&chart);
        p.setPen(QPen(Qt::black, 1));
        p.drawEllipse(QPoint(150, 150), 140, 140);
        p.drawLine(20, 40, 280, 260);
        p.drawLine(30, 101, 270, 101);
        p.drawLine(200, 20, 200, 280);
    }
    QCOMPARE(DrawHome::inkGroups(chart, chart.rect()).first, 1);
    doc->Img->setPixmap(QPixmap::fromImage(chart));
    SetFloatTwips(doc->Img, QRect(1500, 1500, 1500, 1500)); // a third: 100 x 100 pixels at 100, 100
    doc->Img->show();
    doc->CmdImgDel->show();
    doc->CmdImgSize->show();

    // On screen the shrunk chart is still one drawing.
    const QImage shown = doc->Img->grab().toImage().scaled(100, 100);
    const auto onScreen = DrawHome::inkGroups(shown, shown.rect());
    QCOMPARE(onScreen.first, 1);
    QVERIFY2(onScreen.second > 400, qPrintable(QString::number(onScreen.second)));

    // Pasted into the page, the outlines stay connected and every line is there.
    h.head->Img貼付();
    QVERIFY(doc->Img->isHidden());
    const QRect pasted(100, 100, 100, 100);
    const auto onPage = DrawHome::inkGroups(doc->surface(), pasted);
    QCOMPARE(onPage.first, 1);
    QVERIFY2(onPage.second > 400, qPrintable(QString::number(onPage.second)));
    QVERIFY(DrawHome::inkGroups(doc->surface(), QRect(110, 132, 20, 3)).second >= 18); // y 101 / 3
    QVERIFY(DrawHome::inkGroups(doc->surface(), QRect(165, 160, 3, 20)).second >= 18); // x 200 / 3
    // Nothing spilled outside the picture's place.
    QCOMPARE(DrawHome::inkGroups(doc->surface(), doc->surface().rect()).second, onPage.second);
}

void TestFreeEdit::clearAndColourChoice()
{
    DrawHome h;
    FM *doc = h.doc;
    h.tool(1, QStringLiteral("4"), kBlue);
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 1500);
    const QImage drawn = doc->surface().copy();
    doc->DocumentChanged = false;
    h.prompts.answers = {false};
    h.head->Cmdクリア_Click();
    QCOMPARE(h.prompts.questions, QStringList{QStringLiteral("フリー編集の内容をクリアしてもいいですか？")});
    QCOMPARE(doc->surface(), drawn);
    QVERIFY(!doc->DocumentChanged);
    h.prompts.answers = {true};
    h.head->Cmdクリア_Click();
    QVERIFY(h.allWhite());
    QVERIFY(doc->DocumentChanged);

    // Swatches and the colour dialog set the drawing colour; cancelling keeps it.
    h.head->Label色_Click(6);
    QCOMPARE(h.head->drawingColor(), QColor(0, 192, 192));
    h.prompts.colors = {QColor(10, 20, 30)};
    h.head->Cmd色_Click();
    QCOMPARE(h.head->drawingColor(), QColor(10, 20, 30));
    h.head->Label色_Click(2);
    h.head->Cmd色_Click(); // cancelled
    QCOMPARE(h.head->drawingColor(), kRed);
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 1500);
    QCOMPARE(h.px(150, 100), kRed);
}

// A GIF with a transparent colour: the transparent parts count as white, so
// the drawing underneath stays visible in the page (saved and printed).
void TestFreeEdit::transparentPartsOfAPictureLeaveTheDrawing()
{
    DrawHome h;
    FM *doc = h.doc;
    h.tool(1, QStringLiteral("24"), kRed);
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 4500, 1500);
    // Transparent left half, cyan right half, as the insertion hands it over.
    QImage picture(20, 10, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int y = 0; y < 10; ++y)
        for (int x = 10; x < 20; ++x)
            picture.setPixelColor(x, y, QColor(0, 255, 255));
    QVERIFY(picture.save(h.home.data(QStringLiteral("Picture/clear.png"))));
    const QImage loaded(h.home.data(QStringLiteral("Picture/clear.png")));
    QVERIFY(loaded.hasAlphaChannel());
    doc->Img->setPixmap(QPixmap::fromImage(loaded));
    SetFloatTwips(doc->Img, QRect(1500, 1200, 3000, 600)); // pixels 100..300 x 80..120
    doc->Img->show();
    h.head->Img貼付();
    QCOMPARE(h.px(150, 100), kRed);               // transparent over the stroke
    QCOMPARE(h.px(150, 85), kWhite);              // transparent over paper
    QCOMPARE(h.px(250, 100), QColor(0, 0, 0));    // red AND cyan
    QCOMPARE(h.px(250, 85), QColor(0, 255, 255));
}

// Text still in the in-place editor goes into its field when F1/F2 switch
// the mode, instead of vanishing from the page.
void TestFreeEdit::typedTextStaysOnModeSwitch()
{
    DrawHome h;
    h.home.writeIni(QStringLiteral("f"), QStringLiteral("[DATA]\r\nWidth=6000\r\nHeight=6000\r\n"
                                                      "lbItem_0=500|500|3000|300|0||ＭＳ 明朝|10|0|1|所見|1|\r\n"));
    h.doc->M通常入力_Click();
    QVERIFY(BuildDocument(QStringLiteral("f")));
    FM *doc = fm();
    doc->更新チェック更新();
    doc->OpenEditor(0);
    QVERIFY(doc->TxtInput->isVisible());
    QTest::keyClicks(doc->TxtInput, QStringLiteral("abc"));
    doc->Mフリー編集->trigger();
    QVERIFY(doc->TxtInput->isHidden());
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("abc"));
    QVERIFY(doc->更新チェック());

    doc->M通常入力->trigger();
    doc->OpenEditor(0);
    QTest::keyClicks(doc->TxtInput, QStringLiteral("de"));
    doc->M通常入力->trigger();
    QCOMPARE(doc->LbItem[0]->text(), QStringLiteral("abcde"));
    // The page shows the text, not only the field's data.
    QVERIFY(doc->LbItem[0]->isVisible());
    doc->更新チェック更新();
}

// A template named <kind>.INI: its line colours come back after free editing.
void TestFreeEdit::upperCaseTemplateGetsItsLineColoursBack()
{
    DrawHome h;
    h.doc->M通常入力_Click();
    QFile upper(h.home.data(QStringLiteral("ini/Upper.INI")));
    QVERIFY(upper.open(QIODevice::WriteOnly));
    upper.write("[DATA]\r\nWidth=6000\r\nHeight=6000\r\nLineG_0=0|900|6000|900|16711680|1|1\r\n");
    upper.close();
    QVERIFY(BuildDocument(QStringLiteral("Upper")));
    FM *doc = fm();
    QCOMPARE(doc->LineG[0].color, kBlue);
    doc->Mフリー編集_Click();
    QCOMPARE(doc->LineG[0].color, QColor(192, 192, 192));
    doc->M通常入力_Click();
    QCOMPARE(doc->LineG[0].color, kBlue);
    // Settings and templates are read through the same lookup.
    QCOMPARE(ReadIni(QStringLiteral("Upper"), QStringLiteral("Width")), QStringLiteral("6000"));
}

// A text fixed by 通常入力, or a picture still floating, is saved when the
// document closes (the save fails on a white page).
void TestFreeEdit::fixedPictureOrTextIsAChangeToSave()
{
    for (const bool picture : {false, true}) {
        DrawHome h;
        QImage black(30, 30, QImage::Format_RGB32);
        black.fill(Qt::black);
        if (picture)
            PlaceFloatingPicture(*h.doc, black, QRect(1500, 1500, 450, 450));
        else
            PlaceFloatingText(*h.doc, QStringLiteral("要再診"), QRect(1500, 1500, 0, 0), kBlue, 12, false, false);
        if (!picture)
            h.doc->M通常入力->trigger();
        docHooks().saveDocument = [&h](int, const QString &) { return !h.allWhite(); };
        h.prompts.answers = {true};
        QVERIFY(UnloadFM() && h.prompts.questions.size() == 1);
    }
}

QTEST_MAIN(TestFreeEdit)
#include "test_free_edit.moc"

namespace {
// Ctrl+<key> as the user presses it in the main window.
void PressKeys(FHead *head, Qt::Key key, Qt::KeyboardModifiers mods)
{
    head->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(head));
    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : head;
    QTest::keyClick(target, key, mods);
}
}

void TestFreeEdit::undoAndRedoWithKeysAndPalette()
{
    DrawHome h;
    FM *doc = h.doc;
    // Every tool names itself; the two undo buttons say what they do.
    const QStringList tips = {QStringLiteral("矢印（描画なし）"), QStringLiteral("ペン"), QStringLiteral("直線"),
                              QStringLiteral("消しゴム"), QStringLiteral("楕円"), QStringLiteral("斜線入りの楕円")};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(h.head->Optツール[i]->toolTip(), tips[i]);
    QCOMPARE(h.head->Cmd元に戻す->text(), QStringLiteral("元に戻す"));
    QCOMPARE(h.head->Cmdやり直し->text(), QStringLiteral("やり直し"));
    QVERIFY(h.head->Cmd元に戻す->toolTip().startsWith(QStringLiteral("元に戻す")));
    QVERIFY(h.head->Cmdやり直し->toolTip().startsWith(QStringLiteral("やり直し")));
    QVERIFY(!h.head->Cmd元に戻す->isEnabled() && !h.head->Cmdやり直し->isEnabled());

    const QImage blank = doc->surface().copy();
    // A pen stroke of several moves is one step.
    h.tool(1, QStringLiteral("4"), kRed);
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 3000);
    doc->Form_MouseUp(Qt::LeftButton, {}, 3000, 3000);
    const QImage stroke = doc->surface().copy();
    QVERIFY(h.head->Cmd元に戻す->isEnabled());
    // A line, answered Yes.
    h.tool(2, QStringLiteral("3"), kBlue);
    h.prompts.answers = {true};
    doc->Form_MouseDown(Qt::LeftButton, {}, 600, 4500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 5400, 4500);
    doc->Form_MouseUp(Qt::LeftButton, {}, 5400, 4500);
    const QImage line = doc->surface().copy();
    // An ellipse, answered Yes.
    h.tool(5, QStringLiteral("2"), kRed);
    h.prompts.answers = {true};
    doc->Form_MouseDown(Qt::LeftButton, {}, 4500, 2000);
    doc->Form_MouseMove(Qt::LeftButton, {}, 5400, 2600);
    doc->Form_MouseUp(Qt::LeftButton, {}, 5400, 2600);
    const QImage ellipse = doc->surface().copy();
    QVERIFY(ellipse != line);
    // A pasted picture, fixed by choosing a tool.
    QPixmap picture(10, 10);
    picture.fill(QColor(0, 255, 0));
    doc->Img->setPixmap(picture);
    SetFloatTwips(doc->Img, QRect(300, 300, 600, 600));
    doc->Img->show();
    h.head->SelectTool(1);
    const QImage pasted = doc->surface().copy();
    QCOMPARE(h.px(30, 30), QColor(0, 255, 0));
    // The clearing, answered Yes.
    h.prompts.answers = {true};
    h.head->Cmdクリア_Click();
    QCOMPARE(doc->surface(), blank);

    // Ctrl+Z walks back through clear, paste, ellipse, line and stroke.
    doc->DocumentChanged = false;
    PressKeys(h.head, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(doc->surface(), pasted);
    QVERIFY(doc->DocumentChanged);
    QVERIFY(h.head->Cmdやり直し->isEnabled());
    PressKeys(h.head, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(doc->surface(), ellipse);
    h.head->Cmd元に戻す->click();
    QCOMPARE(doc->surface(), line);
    PressKeys(h.head, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(doc->surface(), stroke);
    PressKeys(h.head, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(doc->surface(), blank);
    QVERIFY(!h.head->Cmd元に戻す->isEnabled());
    PressKeys(h.head, Qt::Key_Z, Qt::ControlModifier); // nothing further back
    QCOMPARE(doc->surface(), blank);

    // Ctrl+Y, Ctrl+Shift+Z and the palette button redo.
    PressKeys(h.head, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(doc->surface(), stroke);
    PressKeys(h.head, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(doc->surface(), line);
    h.head->Cmdやり直し->click();
    QCOMPARE(doc->surface(), ellipse);

    // Something new drawn after an undo drops what could have been redone.
    h.tool(1, QStringLiteral("1"), kBlue);
    doc->Form_MouseDown(Qt::LeftButton, {}, 300, 5700);
    doc->Form_MouseMove(Qt::LeftButton, {}, 900, 5700);
    doc->Form_MouseUp(Qt::LeftButton, {}, 900, 5700);
    QVERIFY(!h.head->Cmdやり直し->isEnabled());
    const QImage last = doc->surface().copy();
    PressKeys(h.head, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(doc->surface(), last);
    PressKeys(h.head, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(doc->surface(), ellipse);

    // In normal input the keys leave the drawing alone.
    doc->M通常入力_Click();
    PressKeys(h.head, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(doc->surface(), ellipse);
}

// Closed by its own close box, answered いいえ to saving, the document takes
// its drawing history along: the palette offers nothing to undo.
void TestFreeEdit::undoButtonsGoGreyWhenTheDocumentIsClosed()
{
    DrawHome h;
    FM *doc = h.doc;
    h.tool(1, QStringLiteral("4"), kRed);
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 3000);
    doc->Form_MouseUp(Qt::LeftButton, {}, 3000, 3000);
    QVERIFY(h.head->Cmd元に戻す->isEnabled());
    h.prompts.answers = {false};
    QVERIFY(doc->subWindow());
    QVERIFY(doc->subWindow()->close());
    QVERIFY(!fm());
    QVERIFY(!h.head->Cmd元に戻す->isEnabled());
    QVERIFY(!h.head->Cmdやり直し->isEnabled());
}

void TestFreeEdit::undoKeepsFiftyStepsAndStopsAtTheOpenedDrawing()
{
    DrawHome h;
    FM *doc = h.doc;
    // The document comes with a drawing, as a reopened one does.
    h.tool(1, QStringLiteral("8"), kBlue);
    doc->Form_MouseDown(Qt::LeftButton, {}, 300, 300);
    doc->Form_MouseMove(Qt::LeftButton, {}, 5700, 5700);
    doc->Form_MouseUp(Qt::LeftButton, {}, 5700, 5700);
    DocumentData opened = CollectDocument(*doc);
    opened.surface = opened.surface.copy();
    ApplyDocument(*doc, opened);
    QVERIFY(!h.head->Cmd元に戻す->isEnabled());

    QList<QImage> states{doc->surface().copy()};
    h.tool(1, QStringLiteral("2"), kRed);
    for (int i = 0; i < 60; ++i) {
        const double y = 100 + i * 95;
        doc->Form_MouseDown(Qt::LeftButton, {}, 200 + i * 20, y);
        doc->Form_MouseMove(Qt::LeftButton, {}, 5800 - i * 20, y);
        doc->Form_MouseUp(Qt::LeftButton, {}, 5800 - i * 20, y);
        states.append(doc->surface().copy());
    }
    for (int i = 59; i >= 0; --i) {
        doc->UndoDrawing();
        QCOMPARE(doc->surface(), states[i]);
    }
    QVERIFY(!doc->canUndoDrawing());
    doc->UndoDrawing();
    QCOMPARE(doc->surface(), opened.surface);
    for (int i = 1; i <= 60; ++i)
        doc->RedoDrawing();
    QCOMPARE(doc->surface(), states.last());
}
