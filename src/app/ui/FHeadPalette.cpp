#include "app/ui/FHead.h"

#include "app/Units.h"
#include "ui/Prompter.h"
#include "app/ui/ToolIcons.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "document/ui/FMCanvas.h"
#include "storage/Ini.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QColor kSwatches[8] = {
    QColor(0, 0, 0), QColor(0, 0, 255), QColor(255, 0, 0), QColor(255, 255, 0),
    QColor(255, 255, 255), QColor(0, 255, 0), QColor(0, 192, 192), QColor(255, 0, 255),
};
constexpr int kPreviewTwips = 500;
}

void FHead::createPalette()
{
    PicLeft = new QWidget(this);
    PicLeft->setFixedWidth(TwipsToPx(1275));
    auto *v = new QVBoxLayout(PicLeft);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(4);

    Cmdクリア = new QPushButton(QStringLiteral("クリア"), PicLeft);
    v->addWidget(Cmdクリア);
    QObject::connect(Cmdクリア, &QPushButton::clicked, this, [this] { Cmdクリア_Click(); });

    // Undo and redo of the drawing, one under the other: side by side their
    // captions would not fit the narrow palette.
    Cmd元に戻す = new QPushButton(QStringLiteral("元に戻す"), PicLeft);
    Cmd元に戻す->setToolTip(QStringLiteral("元に戻す（Ctrl+Z）"));
    Cmdやり直し = new QPushButton(QStringLiteral("やり直し"), PicLeft);
    Cmdやり直し->setToolTip(QStringLiteral("やり直し（Ctrl+Y）"));
    for (QPushButton *b : {Cmd元に戻す, Cmdやり直し}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setEnabled(false);
        v->addWidget(b);
    }
    QObject::connect(Cmd元に戻す, &QPushButton::clicked, this, [this] { UndoDrawing(); });
    QObject::connect(Cmdやり直し, &QPushButton::clicked, this, [this] { RedoDrawing(); });
    // The keys belong to the main window, so that they work wherever the
    // focus is in it (a text editor keeps its own undo).
    MUndo = new QAction(QStringLiteral("元に戻す"), this);
    MUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    MRedo = new QAction(QStringLiteral("やり直し"), this);
    MRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    addAction(MUndo);
    addAction(MRedo);
    QObject::connect(MUndo, &QAction::triggered, this, [this] { UndoDrawing(); });
    QObject::connect(MRedo, &QAction::triggered, this, [this] { RedoDrawing(); });

    auto *tools = new QGridLayout;
    tools->setSpacing(2);
    auto *group = new QButtonGroup(PicLeft);
    group->setExclusive(true);
    const int cell[6][2] = {{0, 0}, {1, 1}, {0, 1}, {1, 0}, {2, 0}, {2, 1}}; // rows (0,2) (3,1) (4,5)
    const char16_t *const names[6] = {u"矢印（描画なし）", u"ペン", u"直線", u"消しゴム", u"楕円", u"斜線入りの楕円"};
    for (int i = 0; i < 6; ++i) {
        auto *b = new QToolButton(PicLeft);
        b->setToolTip(QString::fromUtf16(names[i]));
        b->setCheckable(true);
        b->setFixedSize(TwipsToPx(QRect(0, 0, 525, 525)).size());
        if (i == 2) {
            b->setText(QStringLiteral("／"));
        } else {
            b->setIcon(QIcon(ToolPicture(i)));
            b->setIconSize(QSize(24, 24));
        }
        group->addButton(b, i);
        tools->addWidget(b, cell[i][0], cell[i][1]);
        Optツール.append(b);
        QObject::connect(b, &QToolButton::toggled, this, [this, i](bool on) {
            if (on)
                Optツール_Click(i);
        });
    }
    Optツール[0]->setChecked(true);
    v->addLayout(tools);

    Cmd文字の挿入 = new QPushButton(QStringLiteral("文字挿入"), PicLeft);
    CmdImg = new QPushButton(QStringLiteral("画像挿入"), PicLeft);
    v->addWidget(Cmd文字の挿入);
    v->addWidget(CmdImg);
    QObject::connect(Cmd文字の挿入, &QPushButton::clicked, this, [this] { Cmd文字の挿入_Click(); });
    QObject::connect(CmdImg, &QPushButton::clicked, this, [this] { CmdImg_Click(); });

    Frame線の太さ = new QGroupBox(QStringLiteral("線の太さ"), PicLeft);
    auto *widthBox = new QVBoxLayout(Frame線の太さ);
    widthBox->setContentsMargins(3, 3, 3, 3);
    ListPoint = new QListWidget(Frame線の太さ);
    ListPoint->addItems({"1", "2", "3", "4", "6", "8", "12", "16", "18", "24", "26", "48"});
    ListPoint->setFixedHeight(TwipsToPx(1500));
    widthBox->addWidget(ListPoint);
    Pic文字の太さ = new QLabel(Frame線の太さ);
    Pic文字の太さ->setFixedSize(TwipsToPx(kPreviewTwips), TwipsToPx(kPreviewTwips));
    Pic文字の太さ->setFrameShape(QFrame::Box);
    widthBox->addWidget(Pic文字の太さ, 0, Qt::AlignHCenter);
    v->addWidget(Frame線の太さ);
    QObject::connect(ListPoint, &QListWidget::itemClicked, this, [this] { ListPoint_Click(); });
    QObject::connect(ListPoint, &QListWidget::currentRowChanged, this, [this] { ListPoint_Click(); });

    Frame色 = new QGroupBox(QStringLiteral("色"), PicLeft);
    auto *colorBox = new QGridLayout(Frame色);
    colorBox->setContentsMargins(3, 3, 3, 3);
    colorBox->setSpacing(2);
    Cmd色 = new QPushButton(Frame色);
    Cmd色->setFixedHeight(TwipsToPx(330));
    colorBox->addWidget(Cmd色, 0, 0, 1, 4);
    QObject::connect(Cmd色, &QPushButton::clicked, this, [this] { Cmd色_Click(); });
    for (int i = 0; i < 8; ++i) {
        auto *swatch = new QLabel(Frame色);
        swatch->setFixedSize(TwipsToPx(225), TwipsToPx(225));
        swatch->setFrameShape(QFrame::Box);
        swatch->setAutoFillBackground(true);
        QPalette pal = swatch->palette();
        pal.setColor(QPalette::Window, kSwatches[i]);
        swatch->setPalette(pal);
        swatch->installEventFilter(this);
        colorBox->addWidget(swatch, 1 + i / 4, i % 4);
        Label色.append(swatch);
    }
    v->addWidget(Frame色);
    setDrawingColor(Qt::black);

    Txt登録番号 = new QLineEdit(PicLeft);
    v->addWidget(Txt登録番号);
    v->addStretch(1);
}

int FHead::currentTool() const
{
    for (int i = 0; i < Optツール.size(); ++i)
        if (Optツール[i]->isChecked())
            return i;
    return -1;
}

QString FHead::lineWidthText() const
{
    return ListPoint->currentItem() ? ListPoint->currentItem()->text() : QString();
}

int FHead::lineWidth() const
{
    // An entry that is not a number draws thin rather than not at all.
    return std::max(1, int(Val(lineWidthText())));
}

void FHead::setDrawingColor(const QColor &c)
{
    m_drawingColor = c;
    Cmd色->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid #808080; }").arg(c.name()));
}

void FHead::SelectTool(int index)
{
    if (index >= 0 && index < Optツール.size())
        Optツール[index]->setChecked(true);
}

void FHead::Optツール_Click(int index)
{
    Img貼付();
    FM *doc = fm();
    if (!doc)
        return;
    doc->ShapePoint.visible = false;
    switch (index) {
    case 0:
        doc->canvas()->setCursor(Qt::ArrowCursor);
        break;
    case 1:
    case 3: {
        const int size = int(PxToTwips(lineWidth()));
        doc->ShapePoint.twips = QRect(doc->ShapePoint.twips.x(), -1000, size, size);
        doc->ShapePoint.visible = true;
        doc->canvas()->setCursor(ToolCursor(index));
        break;
    }
    default:
        doc->canvas()->setCursor(Qt::CrossCursor);
        break;
    }
    if (DocEditor *editor = doc->TxtInput.ifMade())
        editor->hide();
    doc->refreshCanvas();
}

void FHead::ListPoint_Click()
{
    const int width = lineWidth();
    QPixmap preview(Pic文字の太さ->size());
    preview.fill(Qt::white);
    {
        QPainter p(&preview);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, width + 1, Qt::SolidLine, Qt::RoundCap));
        const double c = TwipsToPx(250);
        p.drawPoint(QPointF(c, c));
    }
    Pic文字の太さ->setPixmap(preview);
    if (FM *doc = fm()) {
        doc->ShapePoint.twips.setSize(QSize(int(PxToTwips(width)), int(PxToTwips(width))));
        doc->refreshCanvas();
    }
}

void FHead::Cmd色_Click()
{
    // The dialog opens on the colour of its last use; cancelling keeps the
    // drawing colour as it is.
    const std::optional<QColor> chosen = prompter().color(m_dialogColor);
    if (!chosen || !chosen->isValid())
        return;
    m_dialogColor = *chosen;
    setDrawingColor(m_dialogColor);
}

void FHead::Label色_Click(int index)
{
    if (index >= 0 && index < 8)
        setDrawingColor(kSwatches[index]);
}

void FHead::UndoDrawing()
{
    FM *doc = fm();
    // Only in free editing, where the palette shows.
    if (doc && !PicLeft->isHidden())
        doc->UndoDrawing();
}

void FHead::RedoDrawing()
{
    FM *doc = fm();
    if (doc && !PicLeft->isHidden())
        doc->RedoDrawing();
}

void FHead::UpdateUndoButtons()
{
    const FM *doc = fm();
    Cmd元に戻す->setEnabled(doc && doc->canUndoDrawing());
    Cmdやり直し->setEnabled(doc && doc->canRedoDrawing());
}

void FHead::Cmdクリア_Click()
{
    if (!prompter().question(QStringLiteral("フリー編集の内容をクリアしてもいいですか？")))
        return;
    if (FM *doc = fm()) {
        doc->clearSurface();
        doc->DocumentChanged = true;
    }
}

void FHead::CmdImg_Click()
{
    Img貼付();
    SelectTool(0);
    if (docHooks().showPictureDialog)
        docHooks().showPictureDialog();
}

void FHead::Cmd文字の挿入_Click()
{
    Img貼付();
    SelectTool(0);
    if (docHooks().showTextDialog)
        docHooks().showTextDialog();
}
