#pragma once
// VantroAPI::LiveConnection: the plug-in's only gateway to the shared-memory channel
// with the renderer (the peer). One object is either closed, open as creator
// (Create) or open as opener (Open), and is re-used for the next connection.
//
// The class has no base class and every operation is virtual, in a fixed slot order
// (slot 0 the destructor, then ListConnections ... UnregisterName). Operations that
// use other operations (Close, Create, SetView, SetStatistics, IsActive, Register,
// ...) call them virtually, so a derived class that overrides one changes the
// composite too.
//
// Trust: the other process can write anything into the shared memory at any time.
// The object bounds every access by the size of the mapping it actually holds, never
// by the header's totalSize/slotCount/firstSlotOffset/highestSlot: scans cover at
// most the slots that fit in the mapping, records are whole 2048-byte slots inside
// it, and buffer contents are bounded by the buffer mapping's real size
// (MappedBufferSize). Nothing the object needs to find its own memory is read back
// from the mapping: the creator's process id, the STAT record's id, text buffer and
// capacity are kept in the process, so a peer that rewrites them cannot make the
// creator free or write through a buffer that is not the one it means.
//
// Shrinking: the other process may truncate the main mapping or a buffer. The
// platform then swaps the lost pages for private zero pages instead of letting the
// process die of SIGBUS, and the connection reports itself broken (IsBroken, and
// IsActive false); the owner closes it at its next idle moment.
//
// Threads: counters and buffer tables are safe for concurrent use (the tables are
// behind a reader/writer lock: lookups, the common case, share it); the peer window
// list is guarded by windowListMutex_. Slot search in AddRecord is not atomic:
// records are created from one thread at a time. Create/Open/Close/Disconnect must
// not run concurrently with other operations.
//
// Failures are results: 0 / -1 / -2, null, false or empty; an operation on a closed
// connection returns its empty result and changes nothing.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "link/channel_layout.h"
#include "link/free_slot_set.h"
#include "platform/shared_memory.h"
#include "platform/window.h"

namespace VantroAPI {

// The longest connection name a renderer finds in the registry listing
// (ListConnections): its enumeration takes names of at most 259 UTF-16 units.
inline constexpr size_t kMaxAnnouncedNameUnits = 259;

using WindowHandle = vantro::platform::WindowHandle;
using WindowList = std::vector<WindowHandle>;

// One value of the statistics record: kind 0 = text percent-encoded, 1 = text as is.
struct StatisticValue {
    uint32_t kind = 0;
    std::u16string text;
};
// Ordered by key, comparing UTF-16 code units.
using StatisticsMap = std::map<std::u16string, StatisticValue>;

// Registry key (under HKEY_CURRENT_USER) of the announced connections.
inline constexpr char16_t kConnectionsKey[] = u"Software\\Orvane\\LiveConnections";

class LiveConnection {
public:
    // Takes the calling process's id once. The object starts closed.
    LiveConnection();

    // Slot 0. Disconnects; does not remove the registry value (only Close does).
    virtual ~LiveConnection();

    LiveConnection(const LiveConnection&) = delete;
    LiveConnection& operator=(const LiveConnection&) = delete;

    // Slot 1. Clears out, then lists the connections announced in the registry whose
    // mapping still exists, in enumeration order; values whose mapping is gone (and
    // empty names) are deleted from the registry. valueFilter 0 takes every value,
    // otherwise only values whose DWORD data equals it. Names of 260 units or more
    // and data longer than 4 bytes are skipped. Returns out.
    virtual std::vector<std::u16string>& ListConnections(std::vector<std::u16string>& out, uint32_t valueFilter);

    // Slot 2. Becomes the creator of a new connection with slotCount record slots
    // ((slotCount + 1) x 2048 bytes, which must stay below 4 GiB). Disconnects first
    // when open, sweeps stale registry values, then adds the "VIEW" and "STAT"
    // records. 0 success; -1 failure (object stays closed); -2 a live mapping of that
    // name already exists (another process owns it; it is left untouched). When that
    // mapping is this process's own earlier channel, still held by a peer that has
    // not yet seen it closed, Create waits up to 2 s for the peer to let go.
    virtual int32_t Create(const std::u16string& name, uint32_t slotCount);

    // Slot 3. UnregisterName(name), then Disconnect.
    virtual void Close();

    // Slot 4. Opens the connection another process created. 0 success; -1 when no
    // such mapping exists, it is too small to hold a header, or its header tag is not
    // "HEAD" (its creator has not finished writing it: try again). Disconnects first.
    virtual int32_t Open(const std::u16string& name);

    // Slot 5. Releases the lock if this process holds it, closes every buffer and the
    // main mapping, clears the name. Nothing when closed.
    virtual void Disconnect();

    // Slot 6. Opener side: true when the foreground window belongs to the creator
    // process. Always false on the creator side and when closed.
    virtual bool IsOwnerForeground();

    // Slot 7. True while the main mapping is mapped.
    virtual bool IsOpen() const;

    // Slot 8. The name given to Create/Open (backslashes kept); empty when closed.
    virtual std::u16string GetName() const;

    // Slot 9. Takes the lowest free slot for a record of this tag (sizes by
    // recordSizeForTag), zeroes it and writes its prefix with a fresh id. Null when
    // closed, for "HEAD", or when no slot is free. One thread at a time.
    virtual RecordPrefix* AddRecord(uint32_t tag);

    // Slot 10. Frees the slot of the record with this id (if any), lowers highestSlot
    // when it was the top slot (never below 0), closes the record's buffers in this
    // process. 0, or -1 when closed.
    virtual int32_t RemoveRecord(uint32_t id);

    // Slot 11. Number of records among slots 0..highestSlot with this tag and, when
    // mask != 0, (flags & mask) == (mask & value). 0 when closed.
    virtual uint32_t CountRecords(uint32_t tag, uint32_t mask, uint32_t value);

    // Slot 12. The first record among slots 0..highestSlot with this id (id 0 never
    // matches: it marks free slots). Null when absent or closed. The pointer is the
    // start of a whole 2048-byte slot inside the mapping, valid until Disconnect.
    virtual RecordPrefix* FindRecord(uint32_t id);

    // Slot 13. Clears out, then fills it with the records CountRecords would count,
    // in slot order. Returns out.
    virtual std::vector<RecordPrefix*>& FindRecords(std::vector<RecordPrefix*>& out, uint32_t tag, uint32_t mask,
                                                    uint32_t value);

    // Slot 14. Bit 0x1 in flags increments changeCount (even when the bit is
    // already set); then flags |= flags. Nothing when closed, for a null record or a
    // pointer that is not the start of a slot of the current mapping (a record of
    // an earlier connection, say).
    virtual void SetRecordFlags(RecordPrefix* record, uint32_t flags);

    // Slot 15. record.flags &= ~flags; nothing where SetRecordFlags does nothing.
    virtual void ClearRecordFlags(RecordPrefix* record, uint32_t flags);

    // Slot 16. record.flags & flags; 0 where SetRecordFlags does nothing.
    virtual uint32_t TestRecordFlags(const RecordPrefix* record, uint32_t flags);

    // Slot 17. Header: bit 0x1 increments changeCount and updateCount; then
    // flags |= flags.
    virtual void SetFlags(uint32_t flags);

    // Slot 18. header.flags &= ~flags.
    virtual void ClearFlags(uint32_t flags);

    // Slot 19. header.flags & flags; 0 when closed.
    virtual uint32_t TestFlags(uint32_t flags);

    // Slots 20, 21. header.updateCount; Get gives 0 when closed.
    virtual void SetUpdateCount(uint32_t value);
    virtual uint32_t GetUpdateCount();

    // Slot 22. Copies text (null = empty) into header.label, truncated to 63 units.
    virtual void SetLabel(const char16_t* text);

    // Slot 23. header.label as a zero-terminated text of at most 63 units, null when
    // closed. The other process may rewrite the field at any time and leave it
    // unterminated, so this is a copy held by the object (not the mapped field),
    // valid until the next GetLabel or Disconnect.
    virtual const char16_t* GetLabel();

    // Slot 24. Takes the inter-process lock (the header's lockOwner word) for this
    // process: true at once when free or already held by this process (any thread;
    // not counted). Otherwise retries (yields, then short naps) until
    // timeoutMicroseconds have passed on the monotonic clock; 0 fails at once. At the
    // timeout, an owner that is no longer running or no longer has the channel
    // mapped (it died holding the lock, or its id went to a new process) is replaced
    // and the lock taken. False when closed.
    virtual bool Lock(uint32_t timeoutMicroseconds);

    // Slot 25. Releases the lock when this process holds it; otherwise nothing.
    virtual void Unlock();

    // Slot 26. Creates a buffer of exactly size bytes (size > 0) owned by recordId,
    // named from header.creatorPid and the next buffer id, and maps it. Returns the
    // id (1, 2, 3... on the creator side, 0x80000001... on the opener side), or 0 on
    // failure (the id is used up all the same). Any thread; only while open.
    virtual uint32_t CreateBuffer(uint32_t recordId, uint32_t size);

    // Slot 27. Forgets the buffer in every record's set and closes it here. The other
    // process keeps its own mapping. Id 0: nothing.
    virtual void DestroyBuffer(uint32_t id);

    // Slot 28. Address of the buffer's bytes, opening it by name when another
    // process created it; the address is cached per id. Null for id 0, a buffer that
    // does not exist, or when closed. The buffer holds MappedBufferSize(id) bytes.
    virtual void* MapBuffer(uint32_t id);

    // Slot 29. Unmaps and closes the buffer in this process. Id 0: nothing.
    virtual void CloseBuffer(uint32_t id);

    // Slot 30. Announces the connection once per Create (RegisterName; its result is
    // ignored). 0, or -1 when there is no name.
    virtual int32_t Register();

    // Slot 31. Open, not broken (IsBroken) and header flag 0x2 (closed by the peer)
    // clear.
    virtual bool IsActive();

    // Slot 32. Posts message 0x8729 (wParam = the second argument, lParam = the
    // first) to every live peer main window, rebuilding the window list when it is
    // empty, stale or was reset by Create. 0 when at least one message was posted;
    // -1 otherwise, also when the window list lock is not free within 25 ms.
    virtual int32_t NotifyPeer(uint64_t lParam, uint64_t wParam);

    // Slot 33. Writes the "VIEW" record without the lock. notify with data: applyNow
    // 1, payload copied, record marked changed, peer notified (NotifyPeer(kWakeReason, kWakeDetail)).
    // Otherwise applyNow 0, payload copied when data is not null, record marked
    // changed, nothing posted. data may be null.
    virtual void SetView(bool notify, const ViewData* data);

    // Slot 34. Writes the statistics as UTF-16 JSON ({"key":"value",...} in key
    // order; kind 0 values through UrlEncode) into the "STAT" record's text buffer,
    // re-using it while large enough, otherwise replacing it by one of twice the
    // text's byte length. Marks the record changed even when no buffer could be made.
    virtual void SetStatistics(const StatisticsMap& values);

    // Slots 35 to 38. header.path1 / path2 (260 units), set truncated to 259 units;
    // Get returns a zero-terminated copy of at most 259 units like GetLabel (valid
    // until the next call of the same getter or Disconnect), null when closed.
    virtual void SetPath1(const char16_t* text);
    virtual const char16_t* GetPath1();
    virtual void SetPath2(const char16_t* text);
    virtual const char16_t* GetPath2();

    // Slots 39, 40. header.userValue; Get gives 0 when closed.
    virtual void SetUserValue(uint32_t value);
    virtual uint32_t GetUserValue();

    // Slot 41. Both header paths non-empty; false when closed.
    virtual bool HasBothPaths();

    // Slot 42. True when a live mapping of that connection name exists. False for an
    // empty name.
    virtual bool Exists(const std::u16string& name);

    // Slot 43. Writes the registry value name = 1 (REG_DWORD), creating the key when
    // missing. 0, or -1 on failure or an empty name.
    virtual int32_t RegisterName(const std::u16string& name);

    // Slot 44. Deletes the registry value. 0, or -1 on failure, a missing key or
    // value, or an empty name.
    virtual int32_t UnregisterName(const std::u16string& name);

    // --- Not part of the virtual interface ---------------------------------------------

    // The peer's main windows now running: for each process whose image path contains
    // "VELORA", its first visible top-level window without owner whose class contains
    // "START"; for "PENDRAX", such a window whose class contains "PENDRAX EDITOR"
    // (paths and classes compared upper-cased). Other windows of the process, in
    // front or not, are passed over. Processes are examined in parallel. Any thread.
    static WindowList FindPeerWindows();

    // Bytes of a buffer this process has mapped (through CreateBuffer or MapBuffer);
    // 0 when it has none. Readers bound every access to a buffer by this, never by a
    // capacity field in a record.
    size_t MappedBufferSize(uint32_t id) const;

    // Number of slots that lie inside the mapping (what every scan is clamped to).
    // 0 when closed.
    uint32_t UsableSlotCount() const { return usableSlots_; }

    // Start of the main mapping for reading header fields with load(); at least
    // kHeaderSize bytes. Null when closed.
    const void* HeaderBlock() const { return view_; }

    // Clears out, then fills it with every record in use among slots 0..highestSlot
    // (clamped like every scan), in slot order. For readers that show the channel.
    std::vector<RecordPrefix*>& AllRecords(std::vector<RecordPrefix*>& out);

    // Slot index of a record pointer handed out by this connection.
    uint32_t SlotIndexOf(const RecordPrefix* record) const;

    // This process's id as taken at construction.
    uint32_t OwnProcessId() const { return ownProcessId_; }

    // True once another process shrank the main mapping or one of this connection's
    // buffers under it (see the class comment). Any thread; false when closed.
    bool IsBroken() const { return IsOpen() && broken_.load(); }

    // The creator's process id as this object uses it for buffer names: its own id
    // after Create, the header's value as read at Open. 0 when closed.
    uint32_t CreatorProcessId() const { return creatorPid_; }

private:
    struct BufferEntry {
        vantro::platform::SharedMemory memory;
    };
    using BufferTable = std::unordered_map<uint32_t, BufferEntry>;
    using RecordBufferTable = std::unordered_map<uint32_t, std::unordered_set<uint32_t>>;

    void attach(vantro::platform::SharedMemory&& mapping, uint32_t firstSlotOffset);
    void keepBuffer(uint32_t id, vantro::platform::SharedMemory&& memory);
    bool ownsSlot(const RecordPrefix* record) const;
    uint32_t lowestFreeSlot(uint32_t limit);
    void rereadSlots();
    void noteSlotUsed(uint32_t index);
    const char16_t* copyText(TextField field, std::u16string& copy);
    std::byte* slotAt(uint32_t index) const;
    RecordPrefix* recordAt(uint32_t index) const;
    uint32_t scanLimit() const;
    uint32_t* lockWord() const;
    bool tryTakeLock();
    bool takeOverFromGoneOwner();
    bool recordMatches(const std::byte* slot, uint32_t tag, uint32_t mask, uint32_t value) const;
    std::u16string ownBufferName(uint32_t id) const;

    const uint32_t ownProcessId_;
    std::u16string name_;
    std::atomic<bool> registered_{false};
    std::atomic<bool> resetWindowList_{false};

    vantro::platform::SharedMemory mapping_;
    std::byte* view_ = nullptr;        // start of the main mapping; null while closed
    uint32_t slotsOffset_ = 0;         // where slot 0 begins in this process's view
    uint32_t usableSlots_ = 0;         // slots wholly inside the mapping
    uint32_t creatorPid_ = 0;          // names buffers; never re-read from the header
    std::atomic<bool> broken_{false};  // set from the SIGBUS handler; see IsBroken
    // The slots this process believes free. The other process may take or free slots
    // whenever it holds the lock, so the set is read again from the mapping (the slots
    // below slotsHighWater_ and the header's highestSlot, clamped like every scan) at
    // the first AddRecord after this process took or gave up the lock
    // (slotsLockEpoch_ != lockEpoch_). Between two such moments a slot the set names is
    // still checked in the mapping before it is handed out, so a slot the other side
    // took meanwhile is skipped, never overwritten. A batch of records under one hold
    // of the lock costs one pass over the used slots and a few word reads per record.
    FreeSlotSet freeSlots_;
    uint32_t slotsHighWater_ = 0;  // one past the highest slot seen in use by this process
    uint64_t slotsLockEpoch_ = 0;
    std::atomic<uint64_t> lockEpoch_{1};  // changes whenever this process takes or gives up the lock
    RecordPrefix* viewRecord_ = nullptr;  // made by Create; null for an opener
    RecordPrefix* statRecord_ = nullptr;
    uint32_t statRecordId_ = 0;  // the STAT record's id, its text buffer and that
    uint32_t statBuffer_ = 0;    // buffer's capacity as this process made them
    uint32_t statCapacity_ = 0;
    std::u16string labelCopy_, path1Copy_, path2Copy_;  // what the text getters hand out

    std::atomic<uint32_t> recordIdCounter_{0};  // never reset: ids keep rising across connections
    std::atomic<uint32_t> bufferIdCounter_{0};  // reset by Create and Open
    mutable std::shared_mutex tablesMutex_;     // guards the two tables below
    RecordBufferTable recordBuffers_;           // record id -> ids of its buffers
    BufferTable bufferTable_;                   // buffers created or opened here

    std::timed_mutex windowListMutex_;
    WindowList peerWindows_;  // guarded by windowListMutex_
};

}  // namespace VantroAPI
