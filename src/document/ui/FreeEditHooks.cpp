#include "document/ui/FreeEdit.h"

#include "app/Units.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/DocumentHost.h"
#include "document/ui/FM.h"
#include "inserts/ui/FImg.h"
#include "inserts/ui/F文字挿入.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace {
// The chosen picture becomes the floating picture at its own size; it jumps
// to the pointer at the next mouse move over the page.
void TakePicture(const QString &, const QImage &picture)
{
    if (picture.isNull())
        return;
    // Tool 0 first: whatever floated before is fixed into the drawing, the
    // new picture is not.
    if (DocumentHost *head = documentHost())
        head->SelectTool(0);
    FM *doc = fm();
    if (!doc)
        return;
    const QRect at = FloatTwips(doc->Img);
    PlaceFloatingPicture(*doc, picture,
                         QRect(at.x(), at.y(), int(PxToTwips(picture.width())), int(PxToTwips(picture.height()))));
    doc->PicturePending = true;
}

void TakeText(const FreeTextHandOver &handOver)
{
    FM *doc = fm();
    if (!doc)
        return;
    const FreeText &look = handOver.look;
    // Where the label is now, sized to fit the text.
    PlaceFloatingText(*doc, look.text, QRect(doc->LbMoji->twipLeft(), doc->LbMoji->twipTop(), 0, 0), look.color,
                      look.pointSize, look.bold, look.underline);
    doc->TextPending = !handOver.edited;
}
}

void PlaceFloatingPicture(FM &doc, const QImage &picture, const QRect &twips)
{
    if (picture.isNull())
        return;
    doc.connectFreeEditing();
    doc.Img->setPixmap(QPixmap::fromImage(picture));
    SetFloatTwips(doc.Img, twips);
    doc.Img->setEnabled(true);
    doc.Img->show();
    doc.Img->raise();
    doc.CmdImgSize->show();
    doc.CmdImgDel->show();
    doc.ImgCmd_Move();
}

void PlaceFloatingText(FM &doc, const QString &text, const QRect &twips, const QColor &color, double pointSize,
                       bool bold, bool underline)
{
    doc.connectFreeEditing();
    DocLabel *moji = doc.LbMoji;
    moji->setText(text);
    moji->setFontSize(pointSize);
    moji->setFontBold(bold);
    moji->setFontUnderline(underline);
    moji->setForeColor(color);
    QRect at = twips;
    if (at.size().isEmpty()) {
        // The label fits its text, so that its "×" sits right of the text.
        const QSize px = QFontMetrics(moji->pixelFont()).size(0, text);
        at.setSize(QSize(int(PxToTwips(px.width() + 1)), int(PxToTwips(px.height()))));
    }
    moji->setTwips(at);
    moji->show();
    moji->raise();
    doc.MojiCmd_Move();
    doc.CmdMojiDel->show();
    doc.CmdMojiDel->raise();
}

void InstallFreeEditHooks()
{
    docHooks().showPictureDialog = [] { FImg::showShared(); };
    docHooks().showTextDialog = [] { F文字挿入::showNew(); };
    FImg::setInsertHandler(TakePicture);
    F文字挿入::setHandOver(TakeText);
}
