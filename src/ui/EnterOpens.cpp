#include "ui/EnterOpens.h"

#include <QAbstractItemView>
#include <QKeyEvent>

namespace {

class EnterFilter : public QObject
{
public:
    EnterFilter(QAbstractItemView *list, std::function<void(int)> open)
        : QObject(list), m_list(list), m_open(std::move(open))
    {
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        const QModelIndex current = m_list->currentIndex();
        if (!current.isValid())
            return false;
        m_open(current.row());
        return true;
    }

private:
    QAbstractItemView *m_list;
    std::function<void(int)> m_open;
};

} // namespace

void EnterOpens(QAbstractItemView *list, std::function<void(int row)> open)
{
    if (list && open)
        list->installEventFilter(new EnterFilter(list, std::move(open)));
}
