#include "app/ui/Prompter.h"

#include <QApplication>
#include <QColorDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QWidget *dialogParent()
{
    return QApplication::activeWindow();
}

QString titleOr(const QString &title)
{
    return title.isEmpty() ? AppTitle() : title;
}

class DialogPrompter : public Prompter
{
public:
    void message(const QString &text, const QString &title) override
    {
        QMessageBox::information(dialogParent(), titleOr(title), text);
    }
    bool question(const QString &text, const QString &title) override
    {
        return QMessageBox::question(dialogParent(), titleOr(title), text,
                                     QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes;
    }
    std::optional<QString> input(const QString &prompt, const QString &title,
                                 const QString &initial) override
    {
        bool ok = false;
        const QString text = QInputDialog::getText(dialogParent(), titleOr(title), prompt,
                                                   QLineEdit::Normal, initial, &ok);
        if (!ok)
            return std::nullopt;
        return text;
    }
    std::optional<QColor> color(const QColor &initial) override
    {
        const QColor c = QColorDialog::getColor(initial, dialogParent());
        if (!c.isValid())
            return std::nullopt;
        return c;
    }
};

DialogPrompter g_dialogPrompter;
Prompter *g_current = nullptr;

} // namespace

Prompter &prompter()
{
    return g_current ? *g_current : g_dialogPrompter;
}

void setPrompter(Prompter *p)
{
    g_current = p;
}
