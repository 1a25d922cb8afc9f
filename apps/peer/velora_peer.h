#pragma once
// The test peer: a separate process that plays the renderer's side of the channel.
// It publishes its main window, opens an announced connection, honours the lock
// (taking it only briefly, with its own process id), reads the records and clears
// their changed bits, and reports everything it sees on stdout, one line per event:
//
//   SWEPT abandoned=<n>          crash leftovers removed at start (shared memory names
//                                nobody holds, stale announcements)
//   READY window=<handle> pid=<pid>
//   OPENED name=<name> creator=<pid> usableSlots=<n> ownerForeground=<0|1>
//   NO-CONNECTION
//   SYNC records=<n> changed=<n>                          SYNC busy
//   <channel summary JSON>                                (with --dump)
//   READ-BUFFER id=0x<id> size=<n> fnv=<hash> head=<hex>  READ-BUFFER id=0x<id> missing
//   CREATED-BUFFER id=0x<id> record=<id> size=<n>         CREATE-BUFFER failed
//   LOCKED / UNLOCKED / LOCK-FAILED
//   CLOSED-LINK
//   RELEASED name=<name> reason=<unannounced|creator-gone|broken>
//   MESSAGE n=<count> id=0x<message> wParam=<w> lParam=<l>
//   EXIT messages=<count>
//
// While connected it looks every 50 ms whether the creator has closed: its
// announcement, once seen, was removed; its process is gone; or the mapping was
// shrunk under the peer. It then releases the connection (RELEASED) so that the
// creator can create it again, and opens the next one on the next wake-up message.
//
// Buffers it creates are filled with the bytes (id + i) mod 256, i the byte offset.

#include <cstdint>
#include <string>

#include "link/live_connection.h"
#include "peer_options.h"
#include "platform/window.h"

namespace velora_peer {

class VeloraPeer {
public:
    explicit VeloraPeer(PeerOptions options);

    // Runs the whole session: window, connection, actions, listening. Returns the
    // process exit code: 0, 1 when the window cannot be published, 3 when a
    // connection was asked for and none could be opened.
    int run();

private:
    void sweep();
    bool connect(int64_t waitMs);
    bool tryOpen();
    const char* creatorClosed();
    void releaseIfCreatorClosed();
    void sync();
    void readBuffers();
    void createBuffers();
    void holdLock();
    void listen();

    PeerOptions options_;
    vantro::platform::Window window_;
    VantroAPI::LiveConnection connection_;
    uint64_t messages_ = 0;
    bool announcementSeen_ = false;  // the open connection was announced at some point
};

// The byte a peer-created buffer holds at offset i.
inline uint8_t peerBufferByte(uint32_t id, size_t i) {
    return static_cast<uint8_t>(id + i);
}

}  // namespace velora_peer
