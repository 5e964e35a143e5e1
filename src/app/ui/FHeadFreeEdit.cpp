#include "app/ui/FHead.h"

#include "app/Units.h"
#include "document/ui/FM.h"
#include "document/ui/FreeEdit.h"
#include "inserts/Pictures.h"
#include "storage/Ini.h"
#include "templates/TemplateReader.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

// The three procedures the document window calls when free editing starts
// and ends, and when something floating has to be fixed into the drawing.

void FHead::Img貼付()
{
    FM *doc = fm();
    if (!doc)
        return;
    bool painted = false;
    // Something fixed into the page is part of the document, as a stroke is.
    bool drew = false;
    // Fixing the picture and the text is one step of the drawing's undo.
    doc->endDrawing();
    if (!doc->Img->isHidden()) {
        const QPixmap picture = doc->Img->pixmap();
        if (!picture.isNull()) {
            doc->beginDrawing();
            const QRect at = TwipsToPx(FloatTwips(doc->Img));
            // Transparent parts count as white, so that they, like the white
            // parts, leave the drawing underneath visible.
            QImage opaque(picture.size(), QImage::Format_RGB32);
            opaque.fill(Qt::white);
            {
                QPainter flatten(&opaque);
                flatten.drawPixmap(0, 0, picture);
            }
            QPainter p(&doc->surface());
            p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            p.drawImage(at.topLeft(), ScaledPicture(opaque, at.size()));
            doc->drewOn(at.adjusted(-1, -1, 1, 1));
            drew = true;
        }
        doc->CmdImgDel->hide();
        doc->CmdImgSize->hide();
        doc->Img->hide();
        painted = true;
    }
    if (!doc->LbMoji->isHidden()) {
        DocLabel *moji = doc->LbMoji;
        doc->beginDrawing();
        QPainter p(&doc->surface());
        QFont font = moji->pixelFont();
        font.setFamily(doc->FontName);
        p.setFont(font);
        p.setPen(moji->foreColor());
        const QRect at = TwipsToPx(moji->twips());
        QRect drawn;
        p.drawText(QRect(at.topLeft(), QSize(doc->surface().width(), doc->surface().height())),
                   int(Qt::AlignLeft | Qt::AlignTop), moji->text(), &drawn);
        doc->drewOn(drawn.adjusted(-2, -2, 2, 2));
        drew = drew || !moji->text().isEmpty();
        moji->hide();
        doc->CmdMojiDel->hide();
        painted = true;
    }
    doc->endDrawing();
    if (drew)
        doc->DocumentChanged = true;
    if (painted)
        doc->refreshCanvas();
}

void FHead::Enabled_False()
{
    FM *doc = fm();
    if (!doc)
        return;
    for (auto *family : {&doc->Label, &doc->LbItem, &doc->LbKanja_Data, &doc->LbList})
        for (DocLabel *label : *family)
            label->setEnabled(false);
    doc->Lb登録番号->setEnabled(false);
    const QColor grey(192, 192, 192);
    for (DocLine &line : doc->LineG)
        line.color = grey;
    for (DocLine &line : doc->LinePage)
        line.color = grey;
    doc->Line線.color = grey;
    for (DocShape &frame : doc->Shape枠)
        frame.visible = false;
    for (DocLabel *list : doc->LbList)
        list->hide();
    doc->refreshCanvas();
}

void FHead::Enabled_True()
{
    FM *doc = fm();
    if (!doc)
        return;
    for (auto *family : {&doc->Label, &doc->LbItem, &doc->LbKanja_Data, &doc->LbList})
        for (DocLabel *label : *family)
            label->setEnabled(true);
    doc->Lb登録番号->setEnabled(true);
    doc->LbMoji->setEnabled(true);
    // Frames come back around the fields that are there; a design element
    // the template never used stays out of sight.
    for (int i = 0; i < doc->Shape枠.size(); ++i)
        doc->Shape枠[i].visible = i < doc->LbItem.size() && !doc->LbItem[i]->isHidden();
    for (DocLabel *list : doc->LbList)
        list->setVisible(!list->Tag.isEmpty());

    const IniSection ini = IniSection::load(doc->Tag);
    auto restore = [&ini](QVector<DocLine> &lines, const QString &prefix) {
        for (int i = 0; i < lines.size(); ++i) {
            const QString value = ini.value(prefix + QString::number(i));
            if (value.isEmpty())
                break;
            if (const auto color = ParseLine(value).color)
                lines[i].color = ColorFromInt(*color);
        }
    };
    restore(doc->LineG, QStringLiteral("LineG_"));
    restore(doc->LinePage, QStringLiteral("LinePage_"));
    doc->refreshCanvas();
}
