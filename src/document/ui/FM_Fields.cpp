#include "document/ui/FM.h"

#include "app/ui/Prompter.h"
#include "storage/AppPaths.h"

#include <QMenu>

// Clicks on the fields, the in-place editor and the date and ± pop-ups.

void FM::テキスト変更()
{
    if (TxtInput->Tag.isEmpty())
        return;
    bool ok = false;
    const int index = TxtInput->Tag.toInt(&ok);
    if (ok && index >= 0 && index < LbItem.size())
        LbItem[index]->setText(TxtInput->text());
    TxtInput->hide();
}

void FM::OpenEditor(int index)
{
    if (index < 0 || index >= LbItem.size())
        return;
    DocLabel *field = LbItem[index];
    TxtInput->Tag = QString::number(index);
    TxtInput->setText(field->text());
    TxtInput->setTwips(field->twips());
    TxtInput->setFont(field->pixelFont());
    TxtInput->document()->setDefaultTextOption(QTextOption(AlignmentFromInt(field->alignment())));
    TxtInput->raise();
    TxtInput->show();
    TxtInput->setFocus();
    if (field->LinkItem == QStringLiteral("0"))
        TxtInput->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhLatinOnly);
    else if (field->LinkItem == QStringLiteral("1") || field->LinkItem == QStringLiteral("2"))
        TxtInput->setInputMethodHints(Qt::ImhNone);
    TxtInput->moveCursor(QTextCursor::End);
}

void FM::LbItem_Click(int index)
{
    if (!TxtInput->Tag.isEmpty()) {
        const int editing = TxtInput->Tag.toInt();
        if (editing >= 0 && editing < LbItem.size())
            LbItem[editing]->setText(TxtInput->text());
    }
    if (index < 0 || index >= LbItem.size())
        return;
    const QString action = LbItem[index]->DataField;
    QMenu *popup = nullptr;
    if (action == QStringLiteral("Date_Y"))
        popup = MDate_Y_Head;
    else if (action == QStringLiteral("Date_M"))
        popup = MDate_M_Head;
    else if (action == QStringLiteral("Date_D"))
        popup = MDate_D_Head;
    else if (action == QStringLiteral("プラマイ"))
        popup = Mプラマイ;
    if (popup) {
        SetMenuTag(popup, LbItem[index]->Tag);
        popup->popup(QCursor::pos());
        return;
    }
    OpenEditor(index);
}

void FM::ImgCheck_Click(int index)
{
    if (index < 0 || index >= ImgCheck.size())
        return;
    DocLabel *check = ImgCheck[index];
    const bool toChecked = check->DataField == QStringLiteral("0");
    const QPixmap picture(DataPath(toChecked ? QStringLiteral("icon/check.gif") : QStringLiteral("icon/uncheck.gif")));
    if (!picture.isNull())
        check->setPicture(picture);
    check->DataField = toChecked ? QStringLiteral("1") : QStringLiteral("0");
}

void FM::Label_Click(int)
{
    テキスト変更();
}

void FM::LbKanja_Data_Click(int)
{
    テキスト変更();
}

void FM::Form_Click()
{
    テキスト変更();
}

namespace {
void WriteInto(DocLabel *field, const QString &value)
{
    if (field)
        field->setText(value);
}
}

void FM::MDate_Y_Click(int index)
{
    if (MDate_Y[index])
        WriteInto(LI(MenuTag(MDate_Y_Head)), MDate_Y[index]->data().toString());
}

void FM::MDate_M_Click(int index)
{
    if (MDate_M[index])
        WriteInto(LI(MenuTag(MDate_M_Head)), MDate_M[index]->text());
}

void FM::MDate_D_Click(int index)
{
    if (MDate_D[index])
        WriteInto(LI(MenuTag(MDate_D_Head)), MDate_D[index]->text());
}

void FM::Mプラス_Click()
{
    WriteInto(LI(MenuTag(Mプラマイ)), QStringLiteral("＋"));
}

void FM::Mマイナス_Click()
{
    WriteInto(LI(MenuTag(Mプラマイ)), QStringLiteral("－"));
}

void FM::D_Menu_Click(int index)
{
    if (D_Menu[index])
        WriteInto(LI(MenuTag(D_Menu_Head)), D_Menu[index]->text());
}

void FM::M定型文_Click()
{
    if (TxtInput->Tag.isEmpty()) {
        prompter().message(QStringLiteral("挿入先が選択されていません"), QStringLiteral("定型文"));
        return;
    }
}
