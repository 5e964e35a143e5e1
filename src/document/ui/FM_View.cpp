#include "document/ui/FM.h"

#include "document/ui/DocumentHost.h"

// Switching between normal input and free editing.

// What was typed into the open editor goes into its field before the editor
// is hidden, as printing does; a hidden editor may hold stale text.
void FM::commitOpenEditor()
{
    if (TxtInput.ifMade() && !TxtInput->isHidden())
        テキスト変更();
}

void FM::Mフリー編集_Click()
{
    if (OldVersion)
        return;
    commitOpenEditor();
    connectFreeEditing();
    Mフリー編集->setChecked(true);
    M通常入力->setChecked(false);
    DocumentHost *head = documentHost();
    if (head)
        head->showRightPanel(false);
    if (DocEditor *editor = TxtInput.ifMade())
        editor->hide();
    if (head) {
        head->Enabled_False();
        head->showPalette(true);
        const int mainWidth = head->WidthTwips();
        const int width = Width();
        setLeft(mainWidth >= width ? (mainWidth - head->PicRightWidth() - width - 500) / 2 : 0);
    }
    メニューEnabled(false);
}

void FM::M通常入力_Click()
{
    commitOpenEditor();
    M通常入力->setChecked(true);
    Mフリー編集->setChecked(false);
    if (DocumentHost *head = documentHost()) {
        head->Img貼付();
        head->Enabled_True();
        head->SelectTool(0);
        head->showPalette(false);
        // The phrases and the history belong to normal input.
        head->showRightPanel(true);
    }
    Form_Resize();
    メニューEnabled(true);
}

void FM::ShowAsOldVersion(int version)
{
    OldVersion = version;
    CloseEditorUnsaved();
    for (int i = 0; i < 2; ++i)
        if (QAction *save = M保存[i])
            save->setEnabled(false);
    for (QAction *editing : {Mフリー編集, M画像挿入, M文字挿入, M定型文})
        editing->setEnabled(false);
    setWindowTitle(Tag + QStringLiteral(" 第%1版（旧版）").arg(version));
    更新チェック更新();
}
