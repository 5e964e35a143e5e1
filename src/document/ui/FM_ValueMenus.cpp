#include "document/ui/FM.h"

// The "▼" buttons and the value menus: so far only the editor is put aside.

void FM::LbList_Click(int)
{
    TxtInput->hide();
}

void FM::Mメニュー_Add_Click()
{
}

void FM::Mメニュー_Del_Click(int)
{
}

void FM::Mメニュー_Click(int)
{
}
