#include "document/ui/MenuArray.h"

#include <QMenu>

MenuArray::MenuArray(QMenu *menu, QAction *zero, std::function<void(int)> onClick)
    : m_menu(menu), m_onClick(std::move(onClick))
{
    m_actions.append(zero);
    // The handler is captured by value: arrays are assigned by value.
    QObject::connect(zero, &QAction::triggered, zero, [f = m_onClick] {
        if (f)
            f(0);
    });
}

QAction *MenuArray::at(int index) const
{
    return index >= 0 && index < m_actions.size() ? m_actions[index] : nullptr;
}

QAction *MenuArray::load(int n)
{
    if (n < 0 || m_actions.isEmpty())
        return nullptr;
    while (m_actions.size() <= n) {
        QAction *zero = m_actions.first();
        QAction *last = m_actions.last();
        auto *a = new QAction(zero->text(), m_menu);
        a->setData(zero->data());
        // A hidden action reports itself disabled; that must not carry over.
        a->setEnabled(!zero->isVisible() || zero->isEnabled());
        a->setCheckable(zero->isCheckable());
        const QList<QAction *> all = m_menu->actions();
        const int pos = all.indexOf(last);
        QAction *before = pos >= 0 && pos + 1 < all.size() ? all[pos + 1] : nullptr;
        m_menu->insertAction(before, a);
        const int index = int(m_actions.size());
        m_actions.append(a);
        QObject::connect(a, &QAction::triggered, a, [f = m_onClick, index] {
            if (f)
                f(index);
        });
    }
    return m_actions[n];
}

void MenuArray::unloadAll()
{
    while (m_actions.size() > 1) {
        QAction *a = m_actions.takeLast();
        m_menu->removeAction(a);
        a->deleteLater();
    }
}

QStringList MenuArray::captions() const
{
    QStringList out;
    for (QAction *a : m_actions)
        out << a->text();
    return out;
}
