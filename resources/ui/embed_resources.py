#!/usr/bin/env python3
"""Compiles the module's resource script into a C++ source (the tables declared in
src/ui/module_resources.h, with each picture's PNG bytes), as a resource compiler
links resources into a Windows module.

    embed_resources.py vantro.rc OUTPUT.cpp

The script language is the subset vantro.rc uses:
    <id> ICON|BITMAP|PNG "<file.png>"          (an icon group takes one line per size)
    <id> MENU BEGIN POPUP "<title>" BEGIN
        MENUITEM "<text>", <id>[, INACTIVE|GRAYED]... | MENUITEM SEPARATOR
    END END
    <id> DIALOGEX <x>, <y>, <cx>, <cy>  STYLE <flags>  CAPTION "<text>"  FONT <points>, "<face>"
    BEGIN
        CONTROL "<text>"|<image id>, <id>, "Button"|"Static", <flags>, <x>, <y>, <cx>, <cy>
        LTEXT|DEFPUSHBUTTON|PUSHBUTTON "<text>", <id>, <x>, <y>, <cx>, <cy>[, <flags>]
    END
Comments start with //. Errors name the line and stop the build."""

import os
import re
import sys

CONSTANTS = {"IDOK": 1, "IDCANCEL": 2, "IDC_STATIC": -1}
TOKEN = re.compile(r'\s*(?:(//[^\n]*)|("(?:[^"\\]|\\.)*")|([A-Za-z_][A-Za-z0-9_]*)|(-?\d+)|(,|\|))')


class Tokens:
    def __init__(self, text, path):
        self.items = []
        self.path = path
        pos = 0
        line = 1
        while pos < len(text):
            m = TOKEN.match(text, pos)
            if not m or m.end() == pos:
                if text[pos:].strip() == "":
                    break
                raise SystemExit("%s:%d: cannot read %r" % (path, line, text[pos:pos + 20]))
            start_line = line + text.count("\n", pos, m.start(m.lastindex))
            line += text.count("\n", pos, m.end())
            pos = m.end()
            if m.group(1):
                continue
            if m.group(2):
                self.items.append(("str", m.group(2)[1:-1], start_line))
            elif m.group(3):
                self.items.append(("word", m.group(3), start_line))
            elif m.group(4):
                self.items.append(("num", int(m.group(4)), start_line))
            else:
                self.items.append(("punct", m.group(5), start_line))
        self.i = 0

    def peek(self):
        return self.items[self.i] if self.i < len(self.items) else ("end", None, -1)

    def next(self):
        t = self.peek()
        self.i += 1
        return t

    def fail(self, what):
        t = self.peek()
        raise SystemExit("%s:%d: expected %s, got %r" % (self.path, t[2], what, t[1]))

    def word(self, *allowed):
        t = self.peek()
        if t[0] != "word" or (allowed and t[1] not in allowed):
            self.fail(" or ".join(allowed) or "a word")
        return self.next()[1]

    def string(self):
        if self.peek()[0] != "str":
            self.fail("a quoted text")
        return self.next()[1]

    def number(self):
        t = self.peek()
        if t[0] == "num":
            return self.next()[1]
        if t[0] == "word" and t[1] in CONSTANTS:
            self.next()
            return CONSTANTS[t[1]]
        self.fail("a number")

    def comma(self):
        if self.peek() != ("punct", ",", self.peek()[2]):
            self.fail("','")
        self.next()

    def flags(self):
        out = [self.word()]
        while self.peek()[:2] == ("punct", "|"):
            self.next()
            out.append(self.word())
        return out

    def at_comma(self):
        return self.peek()[:2] == ("punct", ",")


def parse_menu(t, rid):
    t.word("BEGIN")
    t.word("POPUP")
    title = t.string()
    t.word("BEGIN")
    items = []
    while t.peek()[1] != "END":
        t.word("MENUITEM")
        if t.peek()[:2] == ("word", "SEPARATOR"):
            t.next()
            items.append({"id": 0, "text": "", "sep": True, "inactive": False, "grayed": False})
            continue
        text = t.string()
        t.comma()
        iid = t.number()
        opts = []
        while t.at_comma():
            t.next()
            opts.append(t.word("INACTIVE", "GRAYED"))
        items.append({"id": iid, "text": text, "sep": False, "inactive": "INACTIVE" in opts, "grayed": "GRAYED" in opts})
    t.word("END")
    t.word("END")
    return {"id": rid, "title": title, "items": items}


def parse_control(t):
    kind = t.word("CONTROL", "LTEXT", "DEFPUSHBUTTON", "PUSHBUTTON")
    c = {"text": "", "image": 0, "notify": False}
    if kind == "CONTROL":
        if t.peek()[0] == "num":
            c["image"] = t.number()
        else:
            c["text"] = t.string()
        t.comma()
        c["id"] = t.number()
        t.comma()
        cls = t.string()
        t.comma()
        flags = t.flags()
        if cls == "Button" and "BS_AUTOCHECKBOX" in flags:
            c["kind"] = "checkBox"
        elif cls == "Static" and "SS_BITMAP" in flags:
            c["kind"] = "bitmap"
        elif cls == "Static":
            c["kind"] = "text"
        else:
            t.fail("a check box or a static control")
        c["notify"] = "SS_NOTIFY" in flags
        rect = []
        for _ in range(4):
            t.comma()
            rect.append(t.number())
    else:
        c["kind"] = {"LTEXT": "text", "DEFPUSHBUTTON": "defaultPushButton", "PUSHBUTTON": "pushButton"}[kind]
        c["text"] = t.string()
        t.comma()
        c["id"] = t.number()
        rect = []
        for _ in range(4):
            t.comma()
            rect.append(t.number())
        if t.at_comma():
            t.next()
            c["notify"] = "SS_NOTIFY" in t.flags()
    c["rect"] = rect
    return c


def parse_dialog(t, rid):
    rect = [t.number()]
    for _ in range(3):
        t.comma()
        rect.append(t.number())
    d = {"id": rid, "rect": rect, "caption": "", "font": ("", 0), "child": False, "controls": []}
    while t.peek()[1] != "BEGIN":
        key = t.word("STYLE", "CAPTION", "FONT")
        if key == "STYLE":
            d["child"] = "WS_CHILD" in t.flags()
        elif key == "CAPTION":
            d["caption"] = t.string()
        else:
            points = t.number()
            t.comma()
            d["font"] = (t.string(), points)
    t.word("BEGIN")
    while t.peek()[1] != "END":
        d["controls"].append(parse_control(t))
    t.word("END")
    return d


def parse(path):
    with open(path, encoding="utf-8") as f:
        t = Tokens(f.read(), path)
    menus, dialogs, images = [], [], []
    while t.peek()[0] != "end":
        rid = t.number()
        kind = t.word("ICON", "BITMAP", "PNG", "MENU", "DIALOGEX")
        if kind == "MENU":
            menus.append(parse_menu(t, rid))
        elif kind == "DIALOGEX":
            dialogs.append(parse_dialog(t, rid))
        else:
            line = t.peek()[2]
            file = os.path.join(os.path.dirname(path), t.string())
            with open(file, "rb") as f:
                data = f.read()
            if data[:8] != b"\x89PNG\r\n\x1a\n":
                raise SystemExit("%s:%d: %s is not a PNG file" % (path, line, file))
            images.append({"kind": kind.lower(), "id": rid, "data": data})
    return menus, dialogs, images


def wide(text):
    out = 'u"'
    for ch in text:
        if ch in '"\\':
            out += "\\" + ch
        elif 32 <= ord(ch) < 127:
            out += ch
        else:
            out += "\\u%04x" % ord(ch)
    return out + '"'


def emit(menus, dialogs, images, out):
    w = out.write
    w("// Generated by resources/ui/embed_resources.py from resources/ui/vantro.rc. Do not edit.\n")
    w('#include "module_resources.h"\n\nnamespace vantro::ui {\n\nnamespace {\n\n')
    b = lambda v: "true" if v else "false"
    for m in menus:
        w("constexpr MenuItemResource kMenu%dItems[] = {\n" % m["id"])
        for it in m["items"]:
            w("    {%d, %s, %s, %s, %s},\n" % (it["id"], wide(it["text"]), b(it["sep"]), b(it["inactive"]), b(it["grayed"])))
        w("};\n")
    w("constexpr MenuResource kMenus[] = {\n")
    for m in menus:
        w("    {%d, %s, kMenu%dItems, %d},\n" % (m["id"], wide(m["title"]), m["id"], len(m["items"])))
    w("};\n\n")
    for d in dialogs:
        if not d["controls"]:
            continue
        w("constexpr ControlResource kDialog%dControls[] = {\n" % d["id"])
        for c in d["controls"]:
            w("    {%d, ControlKind::%s, %s, %d, %d, %d, %d, %d, %s},\n" % (
                c["id"], c["kind"], wide(c["text"]), c["image"], *c["rect"], b(c["notify"])))
        w("};\n")
    w("constexpr DialogResource kDialogs[] = {\n")
    for d in dialogs:
        controls = ("kDialog%dControls" % d["id"]) if d["controls"] else "nullptr"
        w("    {%d, %s, %s, %d, %d, %d, %d, %d, %s, %s, %d},\n" % (
            d["id"], wide(d["caption"]), wide(d["font"][0]), d["font"][1], *d["rect"], b(d["child"]), controls,
            len(d["controls"])))
    w("};\n\n")
    for n, img in enumerate(images):
        w("constexpr unsigned char kImage%d[] = {" % n)
        for i, byte in enumerate(img["data"]):
            w(("\n    " if i % 24 == 0 else "") + "%d," % byte)
        w("\n};\n")
    w("constexpr ImageResource kImages[] = {\n")
    for n, img in enumerate(images):
        w("    {ImageKind::%s, %d, kImage%d, sizeof kImage%d},\n" % (img["kind"], img["id"], n, n))
    w("};\n\n}  // namespace\n\n")
    w("""const MenuResource* FindMenuResource(uint32_t id) {
    for (const MenuResource& menu : kMenus)
        if (menu.id == id) return &menu;
    return nullptr;
}

const DialogResource* FindDialogResource(uint32_t id) {
    for (const DialogResource& dialog : kDialogs)
        if (dialog.id == id) return &dialog;
    return nullptr;
}

const ImageResource* FindImageResources(ImageKind kind, uint32_t id, size_t& count) {
    count = 0;
    const ImageResource* first = nullptr;
    for (const ImageResource& image : kImages) {
        if (image.kind != kind || image.id != id) continue;
        if (!first) first = &image;
        ++count;
    }
    return first;
}

const ImageResource* FindImageResource(ImageKind kind, uint32_t id) {
    size_t count = 0;
    return FindImageResources(kind, id, count);
}

}  // namespace vantro::ui
""")


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: embed_resources.py vantro.rc OUTPUT.cpp")
    menus, dialogs, images = parse(sys.argv[1])
    tmp = sys.argv[2] + ".tmp"
    with open(tmp, "w", encoding="utf-8") as out:
        emit(menus, dialogs, images, out)
    os.replace(tmp, sys.argv[2])


if __name__ == "__main__":
    main()
