#include "sdk/app/rhino_message_box.h"

#include <algorithm>

namespace {

RhinoMessageBoxHandler& handler() {
    static RhinoMessageBoxHandler current;
    return current;
}

std::vector<RhinoMessageBox>& history() {
    static std::vector<RhinoMessageBox> boxes;
    return boxes;
}

struct CbtHook {
    uintptr_t handle;
    RhinoCbtHook hook;
};

std::vector<CbtHook>& cbtHooks() {
    static std::vector<CbtHook> hooks;
    return hooks;
}

}  // namespace

uintptr_t RhinoSetCbtHook(RhinoCbtHook hook) {
    static uintptr_t next = 0;
    if (!hook)
        return 0;
    cbtHooks().push_back({++next, std::move(hook)});
    return next;
}

bool RhinoUnhookCbtHook(uintptr_t handle) {
    return std::erase_if(cbtHooks(), [handle](const CbtHook& h) { return h.handle == handle; }) > 0;
}

intptr_t RhinoCallNextCbtHook(uintptr_t handle, int code, RhinoMessageBox& box) {
    std::vector<CbtHook>& hooks = cbtHooks();
    auto it = std::find_if(hooks.begin(), hooks.end(), [handle](const CbtHook& h) { return h.handle == handle; });
    if (it == hooks.end() || it == hooks.begin())
        return 0;
    const RhinoCbtHook previous = std::prev(it)->hook;  // a copy: the hook may unhook itself
    return previous(code, box);
}

void RhinoSetMessageBoxHandler(RhinoMessageBoxHandler newHandler) { handler() = std::move(newHandler); }

std::vector<int> RhinoMessageBoxButtons(uint32_t flags) {
    switch (flags & 0xF) {
        case MB_OKCANCEL: return {IDOK, IDCANCEL};
        case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO: return {IDYES, IDNO};
        default: return {IDOK};
    }
}

int RhinoMessageBoxDefault(uint32_t flags) {
    const std::vector<int> buttons = RhinoMessageBoxButtons(flags);
    // An out-of-range default button falls back to the first, as the system does.
    const size_t index = (flags >> 8) & 0xF;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

int RhinoShowMessageBox(vantro::platform::WindowHandle owner, const char16_t* text, const char16_t* title,
                        uint32_t flags) {
    RhinoMessageBox box;
    box.owner = owner;
    box.text = text ? text : u"";
    box.title = title ? title : u"";
    box.flags = flags;
    if (!cbtHooks().empty()) {
        const RhinoCbtHook latest = cbtHooks().back().hook;
        latest(HCBT_ACTIVATE, box);
    }
    const std::vector<int> buttons = RhinoMessageBoxButtons(flags);
    int answer = handler() ? handler()(box) : 0;
    if (std::find(buttons.begin(), buttons.end(), answer) == buttons.end())
        answer = RhinoMessageBoxDefault(flags);
    box.result = answer;
    history().push_back(box);
    return answer;
}

const std::vector<RhinoMessageBox>& RhinoMessageBoxHistory() { return history(); }

void RhinoClearMessageBoxHistory() { history().clear(); }
