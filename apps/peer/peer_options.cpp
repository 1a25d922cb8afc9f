#include "peer_options.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace vantro::peer {

namespace {

bool parseNumber(std::string_view text, int64_t minimum, uint64_t maximum, int64_t& out) {
    if (text.empty())
        return false;
    std::string copy(text);
    errno = 0;
    char* end = nullptr;
    const bool negative = copy[0] == '-';
    if (negative) {
        const long long v = std::strtoll(copy.c_str(), &end, 0);
        if (errno || *end || v < minimum)
            return false;
        out = v;
        return true;
    }
    const unsigned long long v = std::strtoull(copy.c_str(), &end, 0);
    if (errno || *end || v > maximum)
        return false;
    out = static_cast<int64_t>(v);
    return true;
}

bool parseU32(std::string_view text, uint32_t& out) {
    int64_t v = 0;
    if (!parseNumber(text, 0, std::numeric_limits<uint32_t>::max(), v))
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

bool parseDuration(std::string_view text, int64_t& out) {
    return parseNumber(text, -1, std::numeric_limits<int32_t>::max(), out);
}

}  // namespace

const char* peerUsage() {
    return "usage: velora-peer [--version V] [--class NAME] [--hidden]\n"
           "                   [--connection NAME] [--wait-connection MS]\n"
           "                   [--read-buffer ID]... [--create-buffer RECORD:SIZE]...\n"
           "                   [--hold-lock MS] [--close-link]\n"
           "                   [--listen MS] [--exit-after-messages N] [--dump] [--pretty]\n"
           "                   [--preview DIR] [--size WxH] [--obj FILE]\n"
           "       velora-peer --install DIR [--version V] [options the installed copy starts with]\n"
           "\n"
           "Plays the renderer's side of the live link: publishes the window the plug-in wakes,\n"
           "opens the announced connection, keeps a mirror of what it receives and reports every\n"
           "event on standard output, one line each (apps/peer/velora_peer.h, docs/peer.md).\n"
           "\n"
           "  --version V             the version its window title shows (\"Velora V\"); default 8.3.0\n"
           "  --class NAME            the window's class name; default \"VELORA START\"\n"
           "  --hidden                publish the window invisible\n"
           "  --connection NAME       open this link (the document's path with .dae) at start\n"
           "  --wait-connection MS    wait this long for a link to be announced, then open it\n"
           "  --read-buffer ID        map that buffer after opening and report its bytes' hash\n"
           "  --create-buffer R:SIZE  create a buffer of SIZE bytes for record R after opening\n"
           "  --hold-lock MS          take the channel's lock after opening and keep it MS ms\n"
           "  --close-link            tell the plug-in that the renderer ends the link\n"
           "  --listen MS             wait this long for wake-up messages, syncing after each\n"
           "                          (-1: until SIGTERM or SIGINT); default 0\n"
           "  --exit-after-messages N stop listening after N wake-up messages\n"
           "  --dump, --pretty        print the channel's records as JSON after every sync\n"
           "                          (--pretty indents it)\n"
           "  --preview DIR           draw the mirror after every wake-up into DIR/picture-NNNN.png\n"
           "                          (DIR is created; it must be writable)\n"
           "  --size WxH              the pictures' size, 1 to 8192 pixels each way; default 1280x720\n"
           "  --obj FILE              rewrite the mirror as FILE (OBJ) and its .mtl at the same moments\n"
           "  --install DIR           install a copy the plug-in can find and start (docs/discovery.md)\n"
           "\n"
           "Numbers are decimal or 0x-prefixed hexadecimal.\n"
           "exit status: 0 done; 1 the window cannot be published; 2 bad command line;\n"
           "  3 a connection was asked for and none opened; 4 a --preview or --obj path cannot\n"
           "  be written.\n";
}

bool parsePeerOptions(int argc, const char* const* argv, PeerOptions& out, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        auto flag = [&](std::string_view name) { return option == name; };
        auto needsValue = [&]() -> const char* {
            if (i + 1 >= argc) {
                error = std::string(option) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        auto bad = [&](const char* value) {
            error = "bad value for " + std::string(option) + ": " + value;
            return false;
        };
        const char* v = nullptr;
        if (flag("--hidden")) {
            out.hidden = true;
        } else if (flag("--close-link")) {
            out.closeLink = true;
        } else if (flag("--dump")) {
            out.dump = true;
        } else if (flag("--pretty")) {
            out.pretty = true;
        } else if (flag("--version") || flag("--class") || flag("--connection")) {
            if (!(v = needsValue()))
                return false;
            if (*v == '\0' && !flag("--connection"))
                return bad(v);
            (flag("--version") ? out.version : flag("--class") ? out.windowClass : out.connection) = v;
        } else if (flag("--wait-connection") || flag("--hold-lock") || flag("--listen") ||
                   flag("--exit-after-messages")) {
            if (!(v = needsValue()))
                return false;
            int64_t& target = flag("--wait-connection") ? out.waitConnectionMs
                              : flag("--hold-lock")     ? out.holdLockMs
                              : flag("--listen")        ? out.listenMs
                                                        : out.exitAfterMessages;
            if (!parseDuration(v, target))
                return bad(v);
        } else if (flag("--preview") || flag("--obj")) {
            if (!(v = needsValue()))
                return false;
            if (*v == '\0')
                return bad(v);
            (flag("--preview") ? out.previewDir : out.objFile) = v;
        } else if (flag("--size")) {
            if (!(v = needsValue()))
                return false;
            const std::string_view text = v;
            const size_t x = text.find('x');
            uint32_t width = 0, height = 0;
            if (x == std::string_view::npos || !parseU32(text.substr(0, x), width) ||
                !parseU32(text.substr(x + 1), height) || width < 1 || height < 1 || width > 8192 || height > 8192)
                return bad(v);
            out.pictureWidth = static_cast<int>(width);
            out.pictureHeight = static_cast<int>(height);
        } else if (flag("--install")) {
            if (!(v = needsValue()))
                return false;
            if (*v == '\0')
                return bad(v);
            out.installDir = v;
        } else if (flag("--read-buffer")) {
            uint32_t id = 0;
            if (!(v = needsValue()))
                return false;
            if (!parseU32(v, id) || id == 0)
                return bad(v);
            out.readBuffers.push_back(id);
        } else if (flag("--create-buffer")) {
            if (!(v = needsValue()))
                return false;
            const std::string_view text = v;
            const size_t colon = text.find(':');
            uint32_t record = 0, size = 0;
            if (colon == std::string_view::npos || !parseU32(text.substr(0, colon), record) ||
                !parseU32(text.substr(colon + 1), size) || size == 0)
                return bad(v);
            out.createBuffers.emplace_back(record, size);
        } else {
            error = "unknown option " + std::string(option);
            return false;
        }
    }
    return true;
}

}  // namespace vantro::peer
