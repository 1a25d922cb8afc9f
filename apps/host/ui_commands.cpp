// The plug-ins' user interface as a user meets it: the menus (Menu prints them as
// they look when opened), the dock bars (Toolbar prints, resizes, docks, shows and
// draws them), clicks on buttons and menu items (Click), and the modal dialogs
// (Dialog opens one with scripted clicks; every dialog a plug-in opens is printed).

#include <deque>
#include <string>
#include <vector>

#include "host_session.h"
#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_plug_in.h"
#include "sdk/app/rhino_ui_dialog.h"
#include "sdk/app/rhino_ui_dock_bar.h"
#include "sdk/app/rhino_ui_menu.h"
#include "toolbar_picture.h"

namespace vantro::host {

namespace {

using Outcome = CommandOutcome;

std::string utf8(const ON_wString& text) { return text.ToUtf8(); }

std::string rectText(const CRhinoUiRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.Width()) + "x" +
           std::to_string(r.Height());
}

// --- menus ---------------------------------------------------------------------------

std::string menuItemLine(const CRhinoUiMenuItem& item) {
    if (item.separator)
        return "  --------";
    std::string line = "  " + std::to_string(item.id) + "  " + inQuotes(utf8(item.text));
    if (item.state & MF_CHECKED)
        line += " checked";
    if (item.state & MF_GRAYED)
        line += " greyed";
    else if (item.state & MF_DISABLED)
        line += " disabled";
    if (item.bitmap)
        line += " [bitmap " + std::to_string(item.bitmapId) + "]";
    return line;
}

// Opens every plug-in menu (the plug-in refreshes it) and returns them.
std::vector<std::pair<CRhinoPlugIn*, CRhinoUiMenu*>> openMenus() {
    std::vector<std::pair<CRhinoPlugIn*, CRhinoUiMenu*>> menus;
    for (const auto& [plugIn, handle] : RhinoApp().PlugInMenus()) {
        if (!handle)
            continue;
        plugIn->OnInitPlugInMenuPopups(reinterpret_cast<uintptr_t>(handle), 0);
        menus.emplace_back(plugIn, static_cast<CRhinoUiMenu*>(handle));
    }
    return menus;
}

// --- dock bars -----------------------------------------------------------------------

std::vector<CRhinoUiDockBar*> dockBars() {
    std::vector<CRhinoUiDockBar*> bars;
    for (int i = 0; i < RhinoUiDockBarManager().DockBarCount(); ++i)
        bars.push_back(RhinoUiDockBarManager().DockBarAt(i));
    return bars;
}

bool isSeparator(const CRhinoUiButton& control) { return !control.ImageList(0) && control.ToolTipText().IsEmpty(); }

std::string controlLine(const CRhinoUiButton& control) {
    std::string line = "  " + std::string(isSeparator(control) ? "separator" : std::to_string(control.GetDlgCtrlID()));
    line += control.IsWindowVisible() ? "  visible" : "  hidden";
    line += control.IsWindowEnabled() ? " enabled" : " disabled";
    line += "  " + rectText(control.WindowRect());
    if (!control.ToolTipText().IsEmpty())
        line += "  " + inQuotes(utf8(control.ToolTipText()));
    return line;
}

void printBar(HostSession& session, const CRhinoUiDockBar& bar) {
    const CRhinoUiSize size = bar.Size();
    session.message("Toolbar " + inQuotes(utf8(bar.DockBarName())) + ": " + (bar.IsVisible() ? "visible" : "hidden") +
                    ", " + (bar.IsDocked() ? "docked" : "floating") + ", " + std::to_string(size.cx) + " x " +
                    std::to_string(size.cy));
    if (const CRhinoUiDockBarDialog* dialog = bar.DockBarClientWnd())
        for (const CRhinoUiButton* control : dialog->Controls())
            session.message(controlLine(*control));
}

// The visible bar's control with that id that is not a separator; null when none.
CRhinoUiButton* toolbarControl(uint32_t id) {
    for (CRhinoUiDockBar* bar : dockBars()) {
        if (!bar->IsVisible() || !bar->DockBarClientWnd())
            continue;
        for (CRhinoUiButton* control : bar->DockBarClientWnd()->Controls())
            if (control->GetDlgCtrlID() == id && !isSeparator(*control))
                return control;
    }
    return nullptr;
}

Outcome toolbar(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (!args.options().empty())
        return Outcome::bad("expected no options");
    const std::vector<CRhinoUiDockBar*> bars = dockBars();
    if (bars.empty())
        return Outcome::fail("no plug-in has a toolbar");
    if (args.count() == 0) {
        for (const CRhinoUiDockBar* bar : bars)
            printBar(session, *bar);
        return Outcome::ok();
    }
    const auto verb = parseChoice(args[0], {"show", "hide", "dock", "float", "size", "png"}, error);
    if (!verb)
        return Outcome::bad(error);
    CRhinoUiDockBar& bar = *bars.front();
    switch (*verb) {
        case 0:
        case 1:
            if (args.count() != 1)
                return Outcome::bad("expected nothing after " + args[0]);
            RhinoUiDockBarManager().ShowDockBar(bar.DockBarID(), *verb == 0, false);
            break;
        case 2:
        case 3:
            if (args.count() != 1)
                return Outcome::bad("expected nothing after " + args[0]);
            bar.SetDocked(*verb == 2);
            bar.Resize(bar.Size().cx, bar.Size().cy);  // the new place lays the row out again
            break;
        case 4: {
            if (args.count() != 3)
                return Outcome::bad("expected a width and a height");
            const auto cx = parseInteger(args[1], 1, 10000, error);
            const auto cy = cx ? parseInteger(args[2], 1, 10000, error) : std::nullopt;
            if (!cx || !cy)
                return Outcome::bad(error);
            bar.Resize(int(*cx), int(*cy));
            break;
        }
        default: {
            if (args.count() != 2)
                return Outcome::bad("expected a file name");
            if (!writePng(args[1], renderToolbar(bar), error))
                return Outcome::fail(args[1] + ": " + error);
            session.message("Toolbar picture: " + inQuotes(args[1]) + " (" + std::to_string(bar.Size().cx) + " x " +
                            std::to_string(bar.Size().cy) + ").");
            return Outcome::ok();
        }
    }
    printBar(session, bar);
    return Outcome::ok();
}

// --- clicks --------------------------------------------------------------------------

Outcome clickToolbar(HostSession& session, CRhinoUiButton& control) {
    const std::string name = std::to_string(control.GetDlgCtrlID()) + " " + inQuotes(utf8(control.ToolTipText()));
    if (!control.IsWindowVisible())
        return Outcome::fail("toolbar button " + name + " is hidden");
    if (!control.IsWindowEnabled())
        return Outcome::fail("toolbar button " + name + " is disabled; nothing happens");
    session.message("Clicked toolbar button " + name + ".");
    control.Click();
    return Outcome::ok();
}

// Whether an opened plug-in menu has an item with that id.
bool findMenuItem(uint32_t id) {
    for (const auto& [plugIn, menu] : openMenus())
        if (menu->FindItem(id))
            return true;
    return false;
}

Outcome clickMenu(HostSession& session, uint32_t id) {
    for (const auto& [plugIn, menu] : openMenus()) {
        const CRhinoUiMenuItem* item = menu->FindItem(id);
        if (!item)
            continue;
        const std::string name = std::to_string(id) + " " + inQuotes(utf8(item->text));
        if (!item->IsEnabled())
            return Outcome::fail("menu item " + name + " is " + ((item->state & MF_GRAYED) ? "greyed" : "disabled") +
                                 "; nothing happens");
        session.message("Chose menu item " + name + ".");
        plugIn->OnPlugInMenuCommand(id);
        return Outcome::ok();
    }
    return Outcome::fail("the plug-in menus have no item " + std::to_string(id));
}

// Whether a plug-in's toolbar is shown.
bool toolbarShown() {
    for (const CRhinoUiDockBar* bar : dockBars())
        if (bar->IsVisible())
            return true;
    return false;
}

// Why "Click toolbar <id>" found nothing to click.
std::string noToolbarButton(uint32_t id) {
    if (dockBars().empty())
        return "no plug-in has a toolbar";
    if (!toolbarShown())
        return "the toolbar is hidden (Toolbar show shows it)";
    return "the toolbar has no button " + std::to_string(id) + " (Toolbar lists its buttons)";
}

Outcome click(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (!args.options().empty() || args.count() < 1 || args.count() > 2)
        return Outcome::bad("expected [toolbar|menu] <control id>");
    std::optional<size_t> where;  // 0 toolbar, 1 menu, none: the toolbar when it shows the control
    if (args.count() == 2 && !(where = parseChoice(args[0], {"toolbar", "menu"}, error)))
        return Outcome::bad(error);
    const auto id = parseInteger(args[args.count() - 1], 1, 65535, error);
    if (!id)
        return Outcome::bad(error);
    CRhinoUiButton* control = toolbarControl(uint32_t(*id));
    if (where == 0 || (!where && control && control->IsWindowVisible())) {
        if (!control)
            return Outcome::fail(noToolbarButton(uint32_t(*id)));
        return clickToolbar(session, *control);
    }
    Outcome chosen = clickMenu(session, uint32_t(*id));
    // A hidden button is what the user was after when no menu has the id.
    if (chosen.kind == CommandOutcome::failed && control && !where && !findMenuItem(uint32_t(*id)))
        chosen.message = "toolbar button " + std::to_string(*id) + " " + inQuotes(utf8(control->ToolTipText())) +
                         " is hidden, and " + chosen.message;
    return chosen;
}

// --- dialogs -------------------------------------------------------------------------

std::string kindName(CRhinoUiControlKind kind) {
    switch (kind) {
        case CRhinoUiControlKind::checkBox: return "check box";
        case CRhinoUiControlKind::pushButton: return "button";
        case CRhinoUiControlKind::defaultPushButton: return "default button";
        case CRhinoUiControlKind::bitmap: return "picture";
        case CRhinoUiControlKind::text: break;
    }
    return "text";
}

std::string fontText(const CRhinoUiFont& font) {
    return " font " + inQuotes(utf8(font.face)) + " " + std::to_string(font.height) +
           (font.weight >= 700 ? " bold" : "") + (font.italic ? " italic" : "") + (font.underline ? " underlined" : "");
}

std::string hex(uint32_t value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        text += digits[(value >> shift) & 0xF];
    return text;
}

std::string dialogControlLine(CRhinoUiDialog& dialog, const CRhinoUiDialogControl& c) {
    std::string line = "  " + (c.id == -1 ? std::string("-") : std::to_string(c.id)) + "  " + kindName(c.kind);
    if (c.kind == CRhinoUiControlKind::checkBox)
        line += c.checked ? " [x]" : " [ ]";
    if (!c.text.IsEmpty())
        line += " " + inQuotes(utf8(c.text));
    if (c.image)
        line += " " + std::to_string(c.image->width) + " x " + std::to_string(c.image->height) + " pixels";
    line += "  " + rectText(c.rect);
    if (c.notify)
        line += " clickable";
    if (c.font)
        line += fontText(*c.font);
    if (c.id != -1 && (c.kind == CRhinoUiControlKind::text || c.kind == CRhinoUiControlKind::bitmap)) {
        const CRhinoUiStaticColors colors = dialog.StaticColors(c.id);
        if (colors.hasTextColor)
            line += " colour " + hex(colors.textColor);
        if (colors.transparent)
            line += " transparent";
    }
    return line;
}

// Clicks for the next dialog a plug-in opens (the Dialog command), by name or id.
std::deque<std::string>& pendingClicks() {
    static std::deque<std::string> clicks;
    return clicks;
}

void runDialog(HostOutput& output, CRhinoUiDialog& dialog) {
    const CRhinoUiDialogTemplate& t = dialog.Template();
    output.line("[dialog] " + inQuotes(utf8(t.caption)) + " (" + std::to_string(t.id) + ", " +
                std::to_string(t.rect.Width()) + " x " + std::to_string(t.rect.Height()) + " dialog units, " +
                inQuotes(utf8(t.fontName)) + " " + std::to_string(t.fontPoints) + " pt" +
                (dialog.SmallIcon() ? ", plug-in icon)" : ")"));
    for (const CRhinoUiDialogControl& c : dialog.Controls())
        output.line(dialogControlLine(dialog, c));
    while (!pendingClicks().empty() && !dialog.IsEnded()) {
        const std::string word = pendingClicks().front();
        pendingClicks().pop_front();
        std::string error;
        const int id = sameWord(word, "OK")       ? kDialogOk
                       : sameWord(word, "Cancel") ? kDialogCancel
                                                  : int(parseInteger(word, -1, 65535, error).value_or(-1));
        output.line("[click] " + word);
        if (id == kDialogCancel) {
            dialog.Cancel();
        } else if (!dialog.Click(id)) {
            output.line("[click] " + word + ": no control there responds");
        } else if (const CRhinoUiDialogControl* c = dialog.Control(id); c && c->kind == CRhinoUiControlKind::checkBox) {
            output.line(dialogControlLine(dialog, *c));
        }
    }
    pendingClicks().clear();
    if (!dialog.IsEnded()) {
        dialog.Cancel();
        output.line("[dialog closed] (Escape)");
    } else {
        output.line("[dialog closed] result " + std::to_string(dialog.Result()));
    }
}

Outcome dialog(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (!args.options().empty() || args.count() < 1)
        return Outcome::bad("expected settings|about and clicks");
    const auto which = parseChoice(args[0], {"settings", "about"}, error);
    if (!which)
        return Outcome::bad(error);
    if (session.plugins().loadedPlugIns().empty())
        return Outcome::fail("no plug-in is loaded");
    pendingClicks().assign(args.positional().begin() + 1, args.positional().end());
    bool opened = false;
    RhinoSetDialogDriver([&session, &opened](CRhinoUiDialog& d) {
        opened = true;
        runDialog(session.output(), d);
    });
    session.plugins().menuCommand(*which == 0 ? 31775 : 31776);
    installDialogDriver(session);
    pendingClicks().clear();
    if (!opened)
        return Outcome::fail("no dialog opened");
    return Outcome::ok();
}

}  // namespace

Outcome showMenus(HostSession& session) {
    const auto menus = openMenus();
    if (menus.empty())
        return Outcome::fail("no plug-in has a menu");
    for (const auto& [plugIn, menu] : menus) {
        session.message("Menu " + inQuotes(utf8(menu->title)) + ":");
        for (const CRhinoUiMenuItem& item : menu->items)
            session.message(menuItemLine(item));
    }
    return Outcome::ok();
}

void installDialogDriver(HostSession& session) {
    RhinoSetDialogDriver([&session](CRhinoUiDialog& d) { runDialog(session.output(), d); });
}

void addUiCommands(CommandTable& table) {
    table.add({"Toolbar", "[show|hide|dock|float|size <width> <height>|png <file>]",
               "Shows the plug-in toolbar's controls; shows, hides, docks, floats, resizes or draws it.", toolbar,
               false});
    table.add({"Click", "[toolbar|menu] <control id>",
               "Clicks a toolbar button or chooses a menu item, as a user would (31771-31781).", click, false});
    table.add({"Dialog", "settings|about [<control id>|OK|Cancel]...",
               "Opens a plug-in dialog, prints it and clicks its controls in order.", dialog, false});
}

}  // namespace vantro::host
