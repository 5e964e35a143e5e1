#include "document/ui/FM.h"

// Control families: element 0 is designed into the window; a further element
// starts as a hidden copy of element 0 as it stands at that moment.

DocLabel *FM::loadLabelElement(QVector<DocLabel *> &family, int n, void (FM::*onClick)(int), Loaded how)
{
    if (n < 0 || family.isEmpty())
        return nullptr;
    while (family.size() <= n) {
        DocLabel *design = family.first();
        auto *element = new DocLabel(design->parentWidget(), int(family.size()));
        if (how == Loaded::Hidden)
            element->hide();
        element->copyPropertiesFrom(*design);
        family.append(element);
        connectLabel(element, onClick);
    }
    return family[n];
}

DocLabel *FM::LoadLabel(int n, Loaded how)
{
    return loadLabelElement(Label, n, &FM::Label_Click, how);
}

DocLabel *FM::LoadLbItem(int n, Loaded how)
{
    DocLabel *item = loadLabelElement(LbItem, n, &FM::LbItem_Click, how);
    if (item)
        LoadShape枠(n);
    return item;
}

DocLabel *FM::LoadLbKanja_Data(int n, Loaded how)
{
    return loadLabelElement(LbKanja_Data, n, &FM::LbKanja_Data_Click, how);
}

DocLabel *FM::LoadLbList(int n, Loaded how)
{
    return loadLabelElement(LbList, n, &FM::LbList_Click, how);
}

DocLabel *FM::LoadImgCheck(int n, Loaded how)
{
    return loadLabelElement(ImgCheck, n, &FM::ImgCheck_Click, how);
}

namespace {
template <typename T>
T &LoadValueElement(QVector<T> &family, int n)
{
    n = std::max(0, n);
    while (family.size() <= n) {
        T element = family.first();
        element.index = int(family.size());
        element.visible = false;
        family.append(element);
    }
    return family[n];
}
}

DocShape &FM::LoadShape枠(int n)
{
    return LoadValueElement(Shape枠, n);
}

DocLine &FM::LoadLineG(int n)
{
    return LoadValueElement(LineG, n);
}

DocLine &FM::LoadLinePage(int n)
{
    return LoadValueElement(LinePage, n);
}

DocLabel *FM::LI(const QString &tag) const
{
    for (int i = int(LbItem.size()) - 1; i >= 0; --i)
        if (LbItem[i]->Tag == tag)
            return LbItem[i];
    return nullptr;
}
