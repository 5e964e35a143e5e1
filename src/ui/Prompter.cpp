#include "ui/Prompter.h"

#include "ui/Placement.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

// Boxes open centred over the window they belong to.
QWidget *dialogParent()
{
    return OwnerWindow();
}

// The window system puts the program's name on a window without a title, so
// a box meant to have none gets a blank one.
QString shownTitle(const QString &title)
{
    return title.isEmpty() ? QStringLiteral(" ") : title;
}

class DialogPrompter : public Prompter
{
public:
    void message(const QString &text, const QString &title) override
    {
        QMessageBox box(QMessageBox::Information, shownTitle(title), text, QMessageBox::Ok,
                        dialogParent());
        box.exec();
    }
    bool question(const QString &text, const QString &title) override
    {
        QMessageBox box(QMessageBox::Question, shownTitle(title), text,
                        QMessageBox::Yes | QMessageBox::No, dialogParent());
        box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes;
    }
    std::optional<QString> input(const QString &prompt, const QString &title,
                                 const QString &initial) override
    {
        QInputDialog box(dialogParent());
        box.setInputMode(QInputDialog::TextInput);
        box.setWindowTitle(shownTitle(title));
        box.setLabelText(prompt);
        box.setTextValue(initial);
        box.setOkButtonText(QStringLiteral("OK"));
        box.setCancelButtonText(QStringLiteral("キャンセル"));
        if (box.exec() != QDialog::Accepted)
            return std::nullopt;
        return box.textValue();
    }
    std::optional<QColor> color(const QColor &initial) override
    {
        const QColor c = QColorDialog::getColor(initial, dialogParent());
        if (!c.isValid())
            return std::nullopt;
        return c;
    }
    std::optional<QString> saveFileName(const QString &title, const QString &proposed,
                                        const QString &filter) override
    {
        const QString path = QFileDialog::getSaveFileName(dialogParent(), shownTitle(title), proposed, filter);
        if (path.isEmpty())
            return std::nullopt;
        return path;
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
