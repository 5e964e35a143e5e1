#pragma once
#include <QAction>
#include <QVector>
#include <functional>

class QMenu;

// A menu control array: element 0 exists from the start; load(n) creates
// further elements right after the last one, each starting with element 0's
// caption, data, enabled and checkable state. A click reports the index.
class MenuArray
{
public:
    MenuArray() = default;
    MenuArray(QMenu *menu, QAction *zero, std::function<void(int)> onClick);

    int count() const { return int(m_actions.size()); }
    QAction *operator[](int index) const { return at(index); }
    // nullptr when the element does not exist.
    QAction *at(int index) const;
    // Makes sure elements 0..n exist and returns element n.
    QAction *load(int n);
    // Removes every element but 0.
    void unloadAll();
    QStringList captions() const;

private:
    QMenu *m_menu = nullptr;
    QVector<QAction *> m_actions;
    std::function<void(int)> m_onClick;
};
