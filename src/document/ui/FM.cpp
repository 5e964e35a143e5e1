#include "document/ui/FM.h"

#include "app/Units.h"
#include "document/ui/DocumentHost.h"
#include "ui/Prompter.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FMCanvas.h"
#include "templates/TemplateReader.h"

#include <QCloseEvent>
#include <QIcon>
#include <QPixmap>
#include <QDate>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>

namespace {
FM *g_fm = nullptr;

const QString kFieldFont = QStringLiteral("ＭＳ 明朝");
const QString kLabelFont = QStringLiteral("ＭＳ Ｐゴシック");
}

FM *fm()
{
    return g_fm;
}

FM &fmInstance()
{
    if (!g_fm) {
        g_fm = new FM;
        // Without a main window (never in the program) it is a window of its own.
        if (DocumentHost *head = documentHost()) {
            // The title bar's close box needs the system menu hint, without
            // which the style gives it no room.
            QMdiSubWindow *sub = head->mdiArea()->addSubWindow(
                g_fm, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint);
            sub->setAttribute(Qt::WA_DeleteOnClose);
            // The hint also brings a system-menu button; without a menu or a
            // picture of its own it shows nothing and does nothing.
            sub->setSystemMenu(nullptr);
            QPixmap blank(16, 16);
            blank.fill(Qt::transparent);
            sub->setWindowIcon(QIcon(blank));
            sub->hide();
        }
        g_fm->Form_Load();
        g_fm->drawingHistoryChanged();
    }
    return *g_fm;
}

bool UnloadFM()
{
    FM *old = g_fm;
    if (!old)
        return true;
    if (!old->Form_Unload())
        return false;
    if (docHooks().documentUnloaded)
        docHooks().documentUnloaded();
    old->m_unloaded = true;
    g_fm = nullptr;
    old->drawingHistoryChanged();
    QMdiSubWindow *sub = old->subWindow();
    if (sub) {
        sub->hide();
        if (sub->mdiArea())
            sub->mdiArea()->removeSubWindow(sub);
        // The old window may be running the menu handler that got us here.
        sub->deleteLater();
    } else {
        old->hide();
        old->deleteLater();
    }
    return true;
}

FM::FM(QWidget *parent)
    : QWidget(parent)
{
    m_canvas = new FMCanvas(this);
    createDesignElements();
    createMenus();
    setPageSize(9000, 12000);
}

FM::~FM()
{
    if (g_fm == this)
        g_fm = nullptr;
    if (DocumentHost *head = documentHost())
        head->useOwnMenus(this);
}

void FM::createDesignElements()
{
    QWidget *page = m_canvas;

    auto *label = new DocLabel(page, 0);
    label->setTwips(QRect(0, 0, 1215, 255));
    label->setFontName(kLabelFont);
    label->setFontSize(10.5);
    label->setText(QStringLiteral("ラベル"));
    label->hide();
    Label.append(label);
    connectLabel(label, &FM::Label_Click);

    auto *item = new DocLabel(page, 0);
    item->setTwips(QRect(0, 0, 1215, 255));
    item->setFontName(kFieldFont);
    item->setFontSize(10.5);
    item->hide();
    LbItem.append(item);
    connectLabel(item, &FM::LbItem_Click);

    DocShape frame;
    frame.kind = DocShape::Rectangle;
    frame.twips = QRect(-10, -10, 1240, 280);
    frame.borderColor = QColor(128, 160, 255);
    Shape枠.append(frame);

    auto *patient = new DocLabel(page, 0);
    patient->setTwips(QRect(0, 0, 1215, 255));
    patient->setFontName(kFieldFont);
    patient->setFontSize(10.5);
    patient->setText(QStringLiteral("ＸＸ　ＸＸ"));
    patient->hide();
    LbKanja_Data.append(patient);
    connectLabel(patient, &FM::LbKanja_Data_Click);

    auto *list = new DocLabel(page, 0);
    list->setTwips(QRect(0, 0, 255, 255));
    list->setFontName(kLabelFont);
    list->setFontSize(9);
    list->setAlignment(2);
    list->setForeColor(QColor(0, 0, 160));
    list->setText(QStringLiteral("▼"));
    list->setCursor(Qt::PointingHandCursor);
    list->hide();
    LbList.append(list);
    connectLabel(list, &FM::LbList_Click);

    LineG.append(DocLine());
    LinePage.append(DocLine());

    auto *check = new DocLabel(page, 0);
    check->setTwips(QRect(0, 0, 240, 240));
    check->setCursor(Qt::PointingHandCursor);
    check->DataField = QStringLiteral("0");
    check->hide();
    ImgCheck.append(check);
    connectLabel(check, &FM::ImgCheck_Click);

    Lb登録番号 = new QLabel(QStringLiteral("0"), page);
    Lb登録番号->hide();

    Line線.visible = false;
    Shape円.kind = DocShape::Oval;
    ShapePoint.kind = DocShape::Circle;
    ShapePoint.twips = QRect(0, 0, 280, 280);

    Img = new QLabel(page);
    Img->setScaledContents(true);
    Img->hide();

    LbMoji = new DocLabel(page, 0);
    LbMoji->setTwips(QRect(0, 0, 2400, 255));
    LbMoji->setFontName(kLabelFont);
    LbMoji->setFontSize(10.5);
    LbMoji->setText(QStringLiteral("ﾀﾞﾌﾞﾙｸﾘｯｸで編集"));
    LbMoji->hide();

    auto button = [page](const QString &text, int w, int h) {
        auto *b = new QPushButton(text, page);
        b->setGeometry(TwipsToPx(QRect(0, 0, w, h)));
        b->setFocusPolicy(Qt::NoFocus);
        b->hide();
        return b;
    };
    CmdImgDel = button(QStringLiteral("×"), 255, 225);
    CmdImgSize = button(QString(), 285, 285);
    CmdMojiDel = button(QStringLiteral("×"), 255, 225);

}

void FM::connectLabel(DocLabel *label, void (FM::*onClick)(int))
{
    label->onClick = [this, onClick](int index) { (this->*onClick)(index); };
}

QMdiSubWindow *FM::subWindow() const
{
    return qobject_cast<QMdiSubWindow *>(parentWidget());
}

int FM::Left() const
{
    const QWidget *w = subWindow() ? static_cast<const QWidget *>(subWindow()) : this;
    return int(PxToTwips(w->x()));
}

int FM::Top() const
{
    const QWidget *w = subWindow() ? static_cast<const QWidget *>(subWindow()) : this;
    return int(PxToTwips(w->y()));
}

int FM::Width() const
{
    const QWidget *w = subWindow() ? static_cast<const QWidget *>(subWindow()) : this;
    return int(PxToTwips(w->width()));
}

int FM::Height() const
{
    const QWidget *w = subWindow() ? static_cast<const QWidget *>(subWindow()) : this;
    return int(PxToTwips(w->height()));
}

void FM::setLeft(int twips)
{
    QWidget *w = subWindow() ? static_cast<QWidget *>(subWindow()) : this;
    w->move(TwipsToPx(twips), w->y());
}

void FM::setTop(int twips)
{
    QWidget *w = subWindow() ? static_cast<QWidget *>(subWindow()) : this;
    w->move(w->x(), TwipsToPx(twips));
}

void FM::setPageSize(int widthTwips, int heightTwips)
{
    m_pageWidth = std::max(0, widthTwips);
    m_pageHeight = std::max(0, heightTwips);
    const QSize px = pagePixels();
    // A white page needs no surface yet; one drawn on grows with the page.
    if (!m_surface.isNull() && m_surface.size() != px) {
        QImage grown(px, QImage::Format_RGB32);
        grown.fill(Qt::white);
        if (!m_surface.isNull()) {
            QPainter p(&grown);
            p.drawImage(0, 0, m_surface);
        }
        m_surface = grown;
    }
    m_canvas->setFixedSize(px);
    setFixedSize(px);
    if (QMdiSubWindow *sub = subWindow())
        sub->adjustSize();
}

QSize FM::pagePixels() const
{
    return QSize(std::max(1, TwipsToPx(m_pageWidth)), std::max(1, TwipsToPx(m_pageHeight)));
}

QImage &FM::surface()
{
    if (m_surface.isNull()) {
        m_surface = QImage(pagePixels(), QImage::Format_RGB32);
        m_surface.fill(Qt::white);
    }
    return m_surface;
}

void FM::setSurface(const QImage &picture)
{
    if (picture.size() == pagePixels()) {
        m_surface = picture;
        return;
    }
    if (picture.isNull())
        return;
    QImage &page = surface();
    QPainter p(&page);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, picture);
}

void FM::clearSurface()
{
    endDrawing();
    beginDrawing();
    m_surface.fill(Qt::white);
    drewOn(m_surface.rect());
    endDrawing();
    refreshCanvas();
}

void FM::refreshCanvas()
{
    m_canvas->update();
}

void FM::Form_Load()
{
    for (DocLabel *item : LbItem) {
        item->setTransparent(true);
        item->setText(QString());
    }
    const QStringList kinds = TemplateKinds();
    for (int n = 0; n < kinds.size(); ++n)
        if (QAction *a = MDoc.load(n))
            a->setText(kinds[n]);
    setTop(300);
    if (docHooks().fillHistoryMenu)
        docHooks().fillHistoryMenu();
    const int year = QDate::currentDate().year();
    SetYearMenu(year - 10, year + 1);
    更新チェック更新();
}

void FM::Form_Resize()
{
    DocumentHost *head = documentHost();
    if (!head)
        return;
    const int mainWidth = head->WidthTwips();
    const int width = Width();
    setLeft(mainWidth >= width ? (mainWidth - width - 500) / 2 : 0);
}

bool FM::Form_Unload()
{
    テキスト変更();
    // A picture or text still floating on the page goes into the drawing,
    // and free editing ends so that the main window gets its panels back.
    if (Mフリー編集->isChecked())
        M通常入力_Click();
    else if (DocumentHost *head = documentHost())
        head->Img貼付();
    if (OldVersion || !更新チェック())
        return true;
    if (!prompter().question(QStringLiteral("変更されています。保存しますか？"), Tag))
        return true;
    const int number = Lb登録番号->text().trimmed().toInt();
    const bool saved = docHooks().saveDocument ? docHooks().saveDocument(number, QString()) : true;
    if (saved)
        return true;
    // Closing now would throw the doctor's work away (also when the doctor
    // declined the save after all).
    if (const QString why = SaveFailureText(); !why.isEmpty())
        prompter().message(why);
    return false;
}

void FM::closeEvent(QCloseEvent *event)
{
    if (m_unloaded) {
        event->accept();
        return;
    }
    if (!Form_Unload()) {
        event->ignore();
        return;
    }
    if (docHooks().documentUnloaded)
        docHooks().documentUnloaded();
    m_unloaded = true;
    if (g_fm == this)
        g_fm = nullptr;
    // The drawing history goes with the document.
    drawingHistoryChanged();
    event->accept();
}

void FM::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (isVisible())
        Form_Resize();
}

void FM::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (DocumentHost *head = documentHost())
        head->useMenusOf(this);
}

void FM::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (DocumentHost *head = documentHost())
        head->useOwnMenus(this);
}
