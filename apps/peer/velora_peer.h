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
//   MIRROR materials=<n> textured=<n> triangles=<n> camera=<perspective|none|absent>
//          read=<materials>/<textures>/<geometries> removed=<n> statistics=<0|1>
//          bytes=<geometry bytes re-read: positions, normals, coordinates, indices>
//   PROBLEM record=<id> <what>: <why>                     (a refused buffer or texture)
//   PICTURE n=<k> file=<DIR/picture-000k.png> triangles=<n> ms=<render time>
//   PICTURE failed: <why>
//   OBJ file=<FILE> materials=<n> triangles=<n>           OBJ failed: <why>
//   <channel summary JSON>                                (with --dump)
//   READ-BUFFER id=0x<id> size=<n> fnv=<hash> head=<hex>  READ-BUFFER id=0x<id> missing
//   CREATED-BUFFER id=0x<id> record=<id> size=<n>         CREATE-BUFFER failed
//   LOCKED / UNLOCKED / LOCK-FAILED
//   CLOSED-LINK
//   RELEASED name=<name> reason=<unannounced|creator-gone|broken> reclaimed=<n>
//   RECLAIMED creator=<pid> buffers=<n>                   (the creator ended after RELEASED)
//   MESSAGE n=<count> id=0x<message> wParam=<w> lParam=<l>
//   SIGNALLED signal=<n>                                 (SIGTERM or SIGINT ended the session)
//   EXIT messages=<count>
//
// While connected it looks every 50 ms whether the creator has closed: its
// announcement, once seen, was removed; its process is gone; or the mapping was
// shrunk under the peer. It then releases the connection (RELEASED) so that the
// creator can create it again, and opens the next one on the next wake-up message.
// reclaimed counts the buffer names of a dead creator that nobody held and that the
// peer removed (creator_leftovers.h).
//
// Every sync updates the peer's mirror (peer_mirror.h) before the changed bits are
// cleared. With --preview DIR a picture of the mirror (picture_renderer.h) is written
// after every wake-up message and after the first sync of a connection opened by
// name, numbered from 1 for the whole session, so that a script can list one picture
// per wake-up: a wake-up that finds the channel busy or no connection still gives its
// picture, of the mirror as it stands. With --obj FILE the mirror is rewritten as
// OBJ + MTL at the same moments. The mirror is emptied when the connection is
// released.
//
// SIGTERM and SIGINT (on Windows the console's Ctrl+C, Ctrl+Break and close) end the
// listening early, as closing the renderer would: the peer still disconnects, so that
// it never leaves the channel behind as its last holder (endListeningOnSignals).
//
// Buffers it creates are filled with the bytes (id + i) mod 256, i the byte offset.

#include <cstdint>
#include <string>

#include <memory>

#include "link/live_connection.h"
#include "peer_mirror.h"
#include "peer_options.h"
#include "platform/window.h"

namespace vantro::peer {

// Makes a stop request (platform/stop_requests.h) end VeloraPeer::run's listening
// instead of the process, and writes into a closed output pipe fail quietly.
void endListeningOnSignals();

class VeloraPeer {
public:
    explicit VeloraPeer(PeerOptions options);
    ~VeloraPeer();

    // Runs the whole session: window, connection, actions, listening. Returns the
    // process exit code: 0, 1 when the window cannot be published, 3 when a
    // connection was asked for and none could be opened, 4 when a --preview folder or
    // --obj file cannot be written (checked first, with the system's reason on
    // standard error).
    int run();

private:
    void sweep();
    bool connect(int64_t waitMs);
    bool tryOpen();
    const char* creatorClosed();
    void releaseIfCreatorClosed();
    // One look at a released creator's buffers once its process is gone: removes the
    // names nobody holds; true when none is held any more or the wait is over.
    bool reclaimStep();
    void reclaimOnceCreatorEnded();
    void sync();
    void readBuffers();
    void createBuffers();
    void holdLock();
    void listen();
    void showMirror(const MirrorUpdate& update);
    void showOutputs();
    void writePicture();
    void writeObjFile();

    PeerOptions options_;
    vantro::platform::Window window_;
    VantroAPI::LiveConnection connection_;
    PeerMirror mirror_;
    std::unique_ptr<class PictureRenderer> renderer_;  // made at the first picture
    uint64_t pictures_ = 0;
    uint64_t messages_ = 0;
    bool announcementSeen_ = false;  // the open connection was announced at some point
    uint32_t endingCreator_ = 0;     // released while its process was still ending
    uint64_t endingDeadlineMs_ = 0;  // until when its held names are looked at again
    size_t endingReclaimed_ = 0;     // its names removed so far
};

// The byte a peer-created buffer holds at offset i.
inline uint8_t peerBufferByte(uint32_t id, size_t i) { return static_cast<uint8_t>(id + i); }

}  // namespace vantro::peer
