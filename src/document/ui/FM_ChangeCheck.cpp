#include "document/ui/FM.h"

// The change check compares every field on its own and the state of every
// check box, so moving text from one field into its neighbour or ticking a
// box counts as a change.

QStringList FM::fieldSnapshot() const
{
    QStringList captions;
    captions.reserve(LbItem.size());
    for (const DocLabel *item : LbItem)
        captions << item->text();
    return captions;
}

void FM::更新チェック更新()
{
    DocumentChanged = false;
    m_captionSnapshot = fieldSnapshot();
    m_checkSnapshot.clear();
    for (const DocLabel *check : ImgCheck)
        m_checkSnapshot << check->DataField;
}

bool FM::更新チェック() const
{
    if (DocumentChanged)
        return true;
    if (fieldSnapshot() != m_captionSnapshot)
        return true;
    QStringList checks;
    for (const DocLabel *check : ImgCheck)
        checks << check->DataField;
    return checks != m_checkSnapshot;
}
