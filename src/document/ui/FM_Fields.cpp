#include "document/ui/FM.h"

#include "ui/InputMethodSwitch.h"
#include "ui/NumberInput.h"
#include "ui/Prompter.h"
#include "inserts/ui/FSet.h"
#include "storage/AppPaths.h"
#include "templates/KindTable.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QMenu>
#include <QPointer>

// Clicks on the fields, the in-place editor and the date and ± pop-ups.

namespace {
// The field index held in the editor's Tag, or -1.
int EditedIndex(const DocEditor *editor, int fieldCount)
{
    bool ok = false;
    const int index = editor->Tag.toInt(&ok);
    return ok && index >= 0 && index < fieldCount ? index : -1;
}

// What the editor's text becomes in its field: a number field takes
// full-width digits as ASCII ones.
QString CommittedText(const DocLabel *field, const DocEditor *editor)
{
    return DataKindNumber(field->LinkItem) == 0 ? AsciiNumber(editor->text()) : editor->text();
}

// Writes what was typed into the editor into its field. With nothing typed
// since the editor last matched the field, a value the field got meanwhile
// stays.
void CommitInto(DocLabel *field, DocEditor *editor)
{
    if (editor->text() == editor->syncedText)
        return;
    field->setText(CommittedText(field, editor));
    editor->syncedText = editor->text();
}

void WriteInto(DocLabel *field, const QString &value)
{
    if (field)
        field->setText(value);
}
}

void FM::テキスト変更()
{
    if (!TxtInput.ifMade() || TxtInput->Tag.isEmpty())
        return;
    const int index = EditedIndex(TxtInput, int(LbItem.size()));
    if (index >= 0)
        CommitInto(LbItem[index], TxtInput);
    TxtInput->hide();
}

void FM::CloseEditorUnsaved()
{
    if (!TxtInput.ifMade())
        return;
    TxtInput->Tag.clear();
    TxtInput->hide();
}

void FM::OpenEditor(int index)
{
    if (OldVersion || index < 0 || index >= LbItem.size())
        return;
    if (!TxtInput->keyDown) {
        QPointer<FM> self(this);
        TxtInput->keyDown = [self](int keyCode, int shift) {
            if (self)
                self->TxtInput_KeyDown(keyCode, shift);
        };
        TxtInput->keyPress = [self](int keyAscii) { return self ? self->TxtInput_KeyPress(keyAscii) : keyAscii; };
        TxtInput->lostFocus = [self] {
            if (self)
                self->TxtInput_LostFocus();
        };
    }
    DocLabel *field = LbItem[index];
    const std::optional<int> kind = DataKindNumber(field->LinkItem);
    TxtInput->Tag = QString::number(index);
    TxtInput->setMaxLength(kind == 1 ? kTextFieldSize : 0);
    TxtInput->setText(field->text());
    TxtInput->syncedText = field->text();
    TxtInput->setTwips(field->twips());
    TxtInput->setFont(field->pixelFont());
    QTextOption option = TxtInput->document()->defaultTextOption();
    option.setAlignment(AlignmentFromInt(field->alignment()));
    TxtInput->document()->setDefaultTextOption(option);
    TxtInput->raise();
    TxtInput->show();
    TxtInput->setFocus(Qt::OtherFocusReason);
    // Numbers are typed without the input method, texts and memos in hiragana.
    if (kind == 0) {
        TxtInput->setAttribute(Qt::WA_InputMethodEnabled, false);
        TxtInput->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhLatinOnly | Qt::ImhNoPredictiveText);
        InputMethodSwitch::switchOff();
    } else if (kind == 1 || kind == 2) {
        TxtInput->setAttribute(Qt::WA_InputMethodEnabled, true);
        TxtInput->setInputMethodHints(kind == 2 ? Qt::ImhMultiLine : Qt::ImhNone);
        InputMethodSwitch::switchOn();
    }
    if (TxtInput->hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImEnabled | Qt::ImHints);
    TxtInput->moveCursor(QTextCursor::End);
}

void FM::OpenFirstField()
{
    for (const TabRow &row : LVTabIndex) {
        const int index = row.text.toInt();
        if (index >= 0 && index < LbItem.size() && !LbItem[index]->isHidden()) {
            OpenEditor(index);
            return;
        }
    }
}

void FM::LbItem_Click(int index)
{
    if (OldVersion)
        return;
    const int editing = EditedIndex(TxtInput, int(LbItem.size()));
    if (editing >= 0)
        CommitInto(LbItem[editing], TxtInput);
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

void FM::TxtInput_KeyDown(int keyCode, int shift)
{
    if (keyCode != 9)
        return;
    const int index = EditedIndex(TxtInput, int(LbItem.size()));
    if (index < 0)
        return;
    CommitInto(LbItem[index], TxtInput);
    TxtInput->setText(QString());
    NextTab(index, shift == 1 ? -1 : 1);
}

int FM::TxtInput_KeyPress(int keyAscii)
{
    if (keyAscii == 9)
        return 0;
    const int index = EditedIndex(TxtInput, int(LbItem.size()));
    bool number = false;
    const bool memo = index >= 0 && LbItem[index]->LinkItem.trimmed().toDouble(&number) == 2 && number;
    if (memo)
        return keyAscii;
    return keyAscii == 13 ? 0 : keyAscii;
}

void FM::TxtInput_LostFocus()
{
    テキスト変更();
}

void FM::NextTab(int index, int step)
{
    const int rows = int(LVTabIndex.size());
    if (rows == 0)
        return;
    int p = 0;
    for (int r = 1; r <= rows; ++r) {
        if (LVTabIndex[r - 1].text.toInt() == index) {
            p = r + step;
            break;
        }
    }
    p = std::clamp(p, 1, rows);
    OpenEditor(LVTabIndex[p - 1].text.toInt());
}

void FM::ImgCheck_Click(int index)
{
    if (OldVersion || index < 0 || index >= ImgCheck.size())
        return;
    DocLabel *check = ImgCheck[index];
    const bool toChecked = check->DataField == QStringLiteral("0");
    const QPixmap picture(DataPath(toChecked ? QStringLiteral("icon/check.gif") : QStringLiteral("icon/uncheck.gif")));
    // A missing picture leaves the old one; the state still changes.
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

// A pop-up choice closes the editor unsaved: its text was already written into
// its field when the pop-up was opened, and a later commit must not write an
// older text over the chosen value.

void FM::MDate_Y_Click(int index)
{
    if (!MDate_Y[index])
        return;
    CloseEditorUnsaved();
    WriteInto(LI(MenuTag(MDate_Y_Head)), index == 0 ? QString() : MDate_Y[index]->data().toString());
}

void FM::MDate_M_Click(int index)
{
    if (!MDate_M[index])
        return;
    CloseEditorUnsaved();
    WriteInto(LI(MenuTag(MDate_M_Head)), MDate_M[index]->text());
}

void FM::MDate_D_Click(int index)
{
    if (!MDate_D[index])
        return;
    CloseEditorUnsaved();
    WriteInto(LI(MenuTag(MDate_D_Head)), MDate_D[index]->text());
}

void FM::Mプラス_Click()
{
    CloseEditorUnsaved();
    WriteInto(LI(MenuTag(Mプラマイ)), QStringLiteral("＋"));
}

void FM::Mマイナス_Click()
{
    CloseEditorUnsaved();
    WriteInto(LI(MenuTag(Mプラマイ)), QStringLiteral("－"));
}

void FM::D_Menu_Click(int index)
{
    if (D_Menu[index])
        WriteInto(LI(MenuTag(D_Menu_Head)), D_Menu[index]->text());
}

namespace {
void TellNoPhraseTarget()
{
    prompter().message(QStringLiteral("挿入先が選択されていません"), QStringLiteral("定型文"));
}
}

DocEditor *FM::PhraseTarget()
{
    if (!TxtInput.ifMade() || TxtInput->Tag.isEmpty()) {
        TellNoPhraseTarget();
        return nullptr;
    }
    return TxtInput;
}

DocEditor *PhraseInsertTarget()
{
    if (FM *doc = fm())
        return doc->PhraseTarget();
    TellNoPhraseTarget();
    return nullptr;
}

void FM::M定型文_Click()
{
    if (!PhraseTarget())
        return;
    QPointer<FM> self(this);
    FSet::setInsertTarget([self]() -> QPlainTextEdit * {
        DocEditor *editor = self ? self->TxtInput.ifMade() : nullptr;
        return editor && !editor->Tag.isEmpty() ? editor : nullptr;
    });
    FSet::showShared();
}
