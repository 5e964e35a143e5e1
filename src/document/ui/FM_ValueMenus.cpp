#include "document/ui/FM.h"

#include "app/AppState.h"
#include "ui/Prompter.h"
#include "storage/Database.h"

#include <QMenu>

// The "▼" buttons and their pop-up of per-doctor values (table メニュー).
// A value entry keeps the value itself in its data; its caption is only what
// the menu shows, since a menu caption cannot show every text as it is.

namespace {
QString MenuCaption(const QString &value)
{
    QString caption = value;
    caption.replace(QLatin1Char('\t'), QLatin1Char(' '));
    caption.replace(QLatin1Char('\n'), QLatin1Char(' '));
    caption.replace(QLatin1Char('\r'), QLatin1Char(' '));
    // A long value would make the menu wider than the screen.
    if (caption.size() > 80)
        caption = caption.left(79) + QChar(0x2026);
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return caption;
}

QString ActionValue(const QAction *a)
{
    return a ? a->data().toString() : QString();
}
}

void FM::LbList_Click(int index)
{
    if (DocEditor *editor = TxtInput.ifMade())
        editor->hide();
    if (OldVersion || index < 0 || index >= LbList.size())
        return;
    DocLabel *button = LbList[index];
    Mメニュー_Add->setData(button->toolTip());
    SetMenuTag(Mメニュー_Head, button->Tag);
    SetValueMenu(button->toolTip());
    Mメニュー_Head->popup(QCursor::pos());
}

void FM::SetValueMenu(const QString &item)
{
    QStringList values;
    QStringList ids;
    if (OpenRS(QStringLiteral("Snapshot"),
               QStringLiteral("Select * From メニュー Where DrID=? And Item=? Order By ID Asc"), {CurrentDrID, item})) {
        for (; !gRS.eof(); gRS.moveNext()) {
            values << gRS.text(QStringLiteral("Value")).trimmed();
            ids << gRS.text(QStringLiteral("ID"));
        }
        gRS.close();
    }
    // A failed query shows the menu without values.
    Mメニュー_Del_Head->menuAction()->setVisible(!values.isEmpty());
    for (int i = 1; i <= values.size(); ++i) {
        QAction *value = Mメニュー.load(i);
        QAction *del = Mメニュー_Del.load(i);
        if (!value || !del)
            continue;
        const QString &v = values[i - 1];
        value->setText(MenuCaption(v));
        value->setData(v);
        // A new element starts disabled when element 0 was hidden at that moment.
        value->setEnabled(true);
        value->setVisible(true);
        del->setText(MenuCaption(v));
        del->setData(ids[i - 1]);
        del->setProperty("value", v);
        del->setEnabled(true);
        del->setVisible(true);
    }
    for (int k = int(values.size()) + 1; k < Mメニュー.count(); ++k)
        Mメニュー[k]->setVisible(false);
    for (int k = int(values.size()) + 1; k < Mメニュー_Del.count(); ++k)
        Mメニュー_Del[k]->setVisible(false);
    if (Mメニュー[0]) {
        Mメニュー[0]->setData(QString());
        Mメニュー[0]->setVisible(true);
    }
    if (Mメニュー_Del[0])
        Mメニュー_Del[0]->setVisible(false);
}

void FM::Mメニュー_Click(int index)
{
    QAction *chosen = Mメニュー[index];
    if (!chosen)
        return;
    CloseEditorUnsaved();
    if (DocLabel *field = LI(MenuTag(Mメニュー_Head)))
        field->setText(index == 0 ? QString() : ActionValue(chosen));
}

void FM::Mメニュー_Add_Click()
{
    const QString item = Mメニュー_Add->data().toString();
    const std::optional<QString> answer =
        prompter().input(item + QStringLiteral("を入力してください"), QStringLiteral("新規登録"), QString());
    if (!answer || answer->isEmpty())
        return;
    // An empty selection gives an updatable set to add to without reading the table.
    if (!OpenRS(QStringLiteral("Dynaset"), QStringLiteral("Select * From メニュー Where 0=1")))
        return;
    if (gRS.addNew()) {
        gRS.setField(QStringLiteral("DrID"), CurrentDrID);
        gRS.setField(QStringLiteral("Item"), item);
        gRS.setField(QStringLiteral("Value"), *answer);
        gRS.update();
    }
    gRS.close();
}

void FM::Mメニュー_Del_Click(int index)
{
    QAction *entry = Mメニュー_Del[index];
    if (!entry || index == 0)
        return;
    if (!prompter().question(entry->property("value").toString() + QStringLiteral("を削除してもいいですか?"),
                             QStringLiteral("削除")))
        return;
    bool ok = false;
    const qlonglong id = entry->data().toString().toLongLong(&ok);
    if (!ok)
        return;
    if (!OpenRS(QStringLiteral("Dynaset"), QStringLiteral("Select * From メニュー Where ID=?"), {id}))
        return;
    if (!gRS.eof())
        gRS.remove();
    gRS.close();
}
