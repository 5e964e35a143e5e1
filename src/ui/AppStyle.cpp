#include "ui/AppStyle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>

namespace {

// The application's style, keeping pictures it would otherwise draw again
// and again alike: the standard icons and the scroll bars.
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

    // A scroll bar is drawn once for each look and position: the main
    // window's bars show anew with every document opened, and drawing their
    // shaded grooves is a good part of showing one.
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override
    {
        const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
        if (control != CC_ScrollBar || !bar || bar->rect.isEmpty()
            || painter->device()->devType() != QInternal::Widget
            || styleHint(SH_ScrollBar_Transient, option, widget)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const qreal ratio = painter->device()->devicePixelRatio();
        // Everything the bar's picture depends on, as the key's characters.
        const qint64 parts[] = {bar->rect.width(), bar->rect.height(), bar->orientation, bar->minimum,
                                bar->maximum, bar->sliderPosition, bar->sliderValue, bar->singleStep,
                                bar->pageStep, bar->upsideDown, qint64(bar->state), qint64(bar->activeSubControls),
                                qint64(bar->subControls), bar->direction, qint64(bar->palette.cacheKey()), bar->palette.currentColorGroup(),
                                qRound64(ratio * 1000)};
        const QString key = QStringLiteral("rydol-scrollbar:")
            + QString(reinterpret_cast<const QChar *>(parts), int(sizeof(parts) / (sizeof(QChar))));
        QPixmap picture;
        if (!QPixmapCache::find(key, &picture)) {
            picture = QPixmap((QSizeF(bar->rect.size()) * ratio).toSize());
            picture.setDevicePixelRatio(ratio);
            picture.fill(Qt::transparent);
            QStyleOptionSlider atOrigin(*bar);
            atOrigin.rect.moveTo(0, 0);
            QPainter p(&picture);
            QProxyStyle::drawComplexControl(control, &atOrigin, &p, widget);
            p.end();
            QPixmapCache::insert(key, picture);
        }
        painter->drawPixmap(bar->rect.topLeft(), picture);
    }

private:
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
