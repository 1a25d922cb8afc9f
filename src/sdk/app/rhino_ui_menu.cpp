#include "sdk/app/rhino_ui_menu.h"

CRhinoUiMenuItem* CRhinoUiMenu::FindItem(uint32_t id) {
    for (CRhinoUiMenuItem& item : items)
        if (!item.separator && item.id == id)
            return &item;
    return nullptr;
}

const CRhinoUiMenuItem* CRhinoUiMenu::FindItem(uint32_t id) const {
    return const_cast<CRhinoUiMenu*>(this)->FindItem(id);
}

bool CRhinoUiMenu::SetItemText(uint32_t id, const ON_wString& text) {
    CRhinoUiMenuItem* item = FindItem(id);
    if (!item)
        return false;
    item->text = text;
    return true;
}

bool CRhinoUiMenu::SetItemBitmap(uint32_t id, uint32_t bitmapId, const CRhinoUiImage* bitmap) {
    CRhinoUiMenuItem* item = FindItem(id);
    if (!item)
        return false;
    item->bitmapId = bitmap ? bitmapId : 0;
    item->bitmap = bitmap;
    return true;
}

int CRhinoUiMenu::EnableItem(uint32_t id, uint32_t flags) {
    CRhinoUiMenuItem* item = FindItem(id);
    if (!item)
        return -1;
    const int previous = int(item->state & (MF_GRAYED | MF_DISABLED));
    item->state = (item->state & ~uint32_t(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return previous;
}
