#include "ui/AppStyle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QStyleOptionSlider>
#include <QStyleOptionTitleBar>

namespace {

// Builds a picture key from the numbers and texts a picture depends on.
class PictureKey
{
public:
    explicit PictureKey(const char *what) { m_key = QLatin1String(what); }

    PictureKey &operator<<(qint64 n)
    {
        m_key.append(QStringView(reinterpret_cast<const QChar *>(&n), int(sizeof(n) / sizeof(QChar))));
        return *this;
    }
    PictureKey &operator<<(const QString &text)
    {
        *this << qint64(text.size());
        m_key.append(text);
        return *this;
    }
    // What every option carries that a picture depends on. The palette goes
    // in by its colours: each new widget has a palette of its own, alike.
    PictureKey &operator<<(const QStyleOption &o)
    {
        *this << o.rect.width() << o.rect.height() << qint64(o.state) << o.direction;
        const QPalette::ColorGroup group = o.palette.currentColorGroup();
        *this << group;
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const QBrush &brush = o.palette.brush(group, QPalette::ColorRole(role));
            if (brush.style() != Qt::SolidPattern && brush.style() != Qt::NoBrush)
                return *this << qint64(o.palette.cacheKey());
            *this << qint64(brush.color().rgba64());
        }
        return *this;
    }

    QString text() const { return m_key; }

private:
    QString m_key;
};

bool Opaque(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return false;
    }
    return true;
}

// The application's style, keeping pictures it would otherwise draw again
// and again alike: the standard icons, the scroll bars, the title bar of the
// document window and the items of the menu bar, which come back with every
// document opened.
class KeepingStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option, const QWidget *widget) const override
    {
        // Only icons asked for without an option are alike for every widget.
        if (option)
            return QProxyStyle::standardIcon(icon, option, widget);
        const quint64 key = (quint64(icon) << 1) | (QGuiApplication::isRightToLeft() ? 1 : 0);
        auto it = m_icons.constFind(key);
        if (it == m_icons.constEnd())
            it = m_icons.insert(key, QProxyStyle::standardIcon(icon, option, widget));
        return *it;
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override
    {
        if (control == CC_ScrollBar && KeepsOn(painter)
            && !styleHint(SH_ScrollBar_Transient, option, widget)) {
            if (const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option)) {
                PictureKey key("rydol-scrollbar:");
                key << *bar << bar->orientation << bar->minimum << bar->maximum << bar->sliderPosition
                    << bar->sliderValue << bar->singleStep << bar->pageStep << bar->upsideDown
                    << qint64(bar->activeSubControls) << qint64(bar->subControls);
                drawKept(painter, key, *bar, [&](QPainter *p, const QStyleOptionSlider &atOrigin) {
                    QProxyStyle::drawComplexControl(control, &atOrigin, p, widget);
                });
                return;
            }
        }
        if (control == CC_TitleBar && KeepsOn(painter)) {
            if (const auto *bar = qstyleoption_cast<const QStyleOptionTitleBar *>(option)) {
                PictureKey key("rydol-titlebar:");
                key << *bar << bar->text << bar->icon.cacheKey() << bar->titleBarState
                    << qint64(bar->titleBarFlags) << qint64(bar->activeSubControls) << qint64(bar->subControls)
                    << painter->font().key();
                drawKept(painter, key, *bar, [&](QPainter *p, const QStyleOptionTitleBar &atOrigin) {
                    QProxyStyle::drawComplexControl(control, &atOrigin, p, widget);
                });
                return;
            }
        }
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_MenuBarItem && KeepsOn(painter)) {
            if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option)) {
                PictureKey key("rydol-menubaritem:");
                key << *item << item->text << item->icon.cacheKey() << item->menuItemType << item->font.key()
                    << painter->font().key() << styleHint(SH_UnderlineShortcut, option, widget);
                drawKept(painter, key, *item, [&](QPainter *p, const QStyleOptionMenuItem &atOrigin) {
                    QProxyStyle::drawControl(element, &atOrigin, p, widget);
                });
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

private:
    // Pictures are kept for the screen only: not for printing, not scaled.
    static bool KeepsOn(const QPainter *painter)
    {
        return painter->device() && painter->device()->devType() == QInternal::Widget
            && painter->deviceTransform().type() <= QTransform::TxTranslate;
    }

    // Draws the picture of option kept under key, drawing and keeping it
    // first when there is none; draw paints the option moved to the origin.
    template <typename Option, typename Draw>
    static void drawKept(QPainter *painter, PictureKey &key, const Option &option, Draw draw)
    {
        const qreal ratio = painter->device()->devicePixelRatio();
        key << qRound64(ratio * 1000);
        QPixmap picture;
        if (!QPixmapCache::find(key.text(), &picture)) {
            QImage image((QSizeF(option.rect.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::transparent);
            Option atOrigin(option);
            atOrigin.rect.moveTo(0, 0);
            QPainter p(&image);
            p.setFont(painter->font());
            p.setRenderHints(painter->renderHints());
            draw(&p, atOrigin);
            p.end();
            // A picture without see-through pixels is copied, not blended.
            if (Opaque(image))
                image = image.convertToFormat(QImage::Format_RGB32);
            picture = QPixmap::fromImage(std::move(image));
            QPixmapCache::insert(key.text(), picture);
        }
        painter->drawPixmap(option.rect.topLeft(), picture);
    }

    mutable QHash<quint64, QIcon> m_icons;
};

}

QStyle *PictureKeepingStyle(QStyle *base)
{
    return new KeepingStyle(base);
}

void InstallAppStyle()
{
    if (dynamic_cast<KeepingStyle *>(QApplication::style()))
        return;
    if (QStyle *base = QStyleFactory::create(QApplication::style()->name()))
        QApplication::setStyle(PictureKeepingStyle(base));
}
