#pragma once
// The plug-in module's resources (menu, dialogs, pictures), compiled into the module
// from resources/ui/vantro.rc by resources/ui/embed_resources.py at build time: the
// stand-in of a Windows module's resource section. Lookups return null when the
// module has no resource of that kind and id, as LoadMenuW and LoadImageW fail.
// The data is constant; any thread.

#include <cstddef>
#include <cstdint>

namespace vantro::ui {

struct MenuItemResource {
    uint32_t id;           // 0 for a separator
    const char16_t* text;  // empty for a separator
    bool separator;
    bool inactive;  // disabled without being greyed
    bool grayed;
};

struct MenuResource {
    uint32_t id;
    const char16_t* title;  // the pop-up's title
    const MenuItemResource* items;
    size_t itemCount;
};

enum class ControlKind { checkBox, pushButton, defaultPushButton, text, bitmap };

struct ControlResource {
    int id;  // -1: IDC_STATIC
    ControlKind kind;
    const char16_t* text;  // empty for a bitmap
    uint32_t imageId;      // a bitmap's picture, 0 otherwise
    int x, y, cx, cy;      // dialog units
    bool notify;           // reports clicks (SS_NOTIFY)
};

struct DialogResource {
    uint32_t id;
    const char16_t* caption;
    const char16_t* fontName;
    int fontPoints;
    int x, y, cx, cy;  // dialog units
    bool child;        // WS_CHILD: a client dialog, not a modal pop-up
    const ControlResource* controls;
    size_t controlCount;
};

enum class ImageKind { icon, bitmap, png };

struct ImageResource {
    ImageKind kind;
    uint32_t id;
    const unsigned char* bytes;  // a PNG file
    size_t size;
};

const MenuResource* FindMenuResource(uint32_t id);
const DialogResource* FindDialogResource(uint32_t id);
// The first image of that kind and id (an icon group has one image per size: use
// FindImageResources).
const ImageResource* FindImageResource(ImageKind kind, uint32_t id);
// Every image of an icon group (or the one image of a bitmap or PNG); count gets how
// many follow the result (0 when none: the result is then null).
const ImageResource* FindImageResources(ImageKind kind, uint32_t id, size_t& count);

}  // namespace vantro::ui
