#pragma once
// Menus: the stand-in of a Windows menu handle (HMENU) with the calls a plug-in makes
// on its pop-up (LoadMenuW, SetMenuItemInfoW with texts and bitmaps,
// EnableMenuItem, CheckMenuItem). A plug-in inserts its menu into the host's menu bar
// as an opaque handle (CRhinoPlugIn::InsertPlugInMenuToRhinoMenu); in this SDK that
// handle is always a CRhinoUiMenu*, so the host program can show the items as a user
// sees them and press them.
// Thread-safety: main thread only.

#include <cstdint>
#include <vector>

#include "sdk/geometry/on_string.h"
#include "sdk/app/rhino_ui_image.h"

// Item states (the MF_* values): greyed and disabled both refuse clicks; only greyed
// draws the text grey.
enum RhinoMenuFlags : uint32_t {
    MF_ENABLED = 0x0,
    MF_GRAYED = 0x1,
    MF_DISABLED = 0x2,
    MF_CHECKED = 0x8,
    MF_BYCOMMAND = 0x0,
};

struct CRhinoUiMenuItem {
    uint32_t id = 0;  // command identifier; 0 for a separator
    ON_wString text;
    bool separator = false;
    uint32_t state = MF_ENABLED;            // MF_GRAYED, MF_DISABLED, MF_CHECKED bits
    uint32_t bitmapId = 0;                  // the resource id of the item's bitmap, 0: none
    const CRhinoUiImage* bitmap = nullptr;  // not owned; null: none

    bool IsEnabled() const { return !separator && (state & (MF_GRAYED | MF_DISABLED)) == 0; }
};

class CRhinoUiMenu {
public:
    ON_wString title;                     // the pop-up's title in the menu bar
    std::vector<CRhinoUiMenuItem> items;  // in order

    // The item with that command identifier; null when none.
    CRhinoUiMenuItem* FindItem(uint32_t id);
    const CRhinoUiMenuItem* FindItem(uint32_t id) const;
    // Each returns false (changing nothing) when no item has that identifier.
    bool SetItemText(uint32_t id, const ON_wString& text);
    bool SetItemBitmap(uint32_t id, uint32_t bitmapId, const CRhinoUiImage* bitmap);
    // EnableMenuItem(MF_BYCOMMAND | flags): sets MF_GRAYED/MF_DISABLED as given. Returns
    // the previous state's enable bits, or -1 when no item has that identifier.
    int EnableItem(uint32_t id, uint32_t flags);
};
