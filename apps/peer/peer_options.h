#pragma once
// Command line of velora-peer.
//
//   velora-peer [--version V] [--class NAME] [--hidden]
//               [--connection NAME] [--wait-connection MS]
//               [--read-buffer ID]... [--create-buffer RECORD:SIZE]...
//               [--hold-lock MS] [--close-link]
//               [--listen MS] [--exit-after-messages N] [--dump] [--pretty]
//               [--preview DIR] [--size WxH] [--obj FILE]
//   velora-peer --install DIR [--version V] [options]     (peer_install.h)
//
// Numbers are decimal or 0x-prefixed hexadecimal. See main.cpp for the order in
// which the actions run.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vantro::peer {

struct PeerOptions {
    std::string version = "8.3.0";  // window title "Velora <version>"
    std::string windowClass = "VELORA START";
    bool hidden = false;                // publish the main window invisible
    std::string connection;             // open this connection (UTF-8); empty: any announced one
    int64_t waitConnectionMs = -1;      // poll the registry this long for a connection; -1: don't
    std::vector<uint32_t> readBuffers;  // buffer ids to map and report after opening
    std::vector<std::pair<uint32_t, uint32_t>> createBuffers;  // (record id, size) to create and fill
    int64_t holdLockMs = -1;                                   // take the lock and keep it this long; -1: don't
    bool closeLink = false;                                    // set header flag 0x2 after opening
    int64_t listenMs = 0;                                      // how long to wait for wake-up messages; -1: forever
    int64_t exitAfterMessages = -1;                            // stop listening after this many messages; -1: no limit
    bool dump = false;                                         // print the channel summary after every sync
    bool pretty = false;                                       // indent that summary
    std::string previewDir;   // write a numbered PNG of the mirror here after every wake-up
    int pictureWidth = 1280;  // --size of those pictures, 1..8192 each
    int pictureHeight = 720;
    std::string objFile;     // rewrite the mirror as OBJ + MTL here after every wake-up
    std::string installDir;  // --install: install a copy there instead of running
};

// Parses argv[1..argc-1]. False with a message in error for unknown options, missing
// or malformed values.
bool parsePeerOptions(int argc, const char* const* argv, PeerOptions& out, std::string& error);

// The usage text shown for --help and after a parse error.
const char* peerUsage();

}  // namespace vantro::peer
