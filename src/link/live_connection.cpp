// LiveConnection: main mapping, record slots, buffers and the inter-process lock.
// Names, registry and peer windows are in live_connection_registry.cpp; the header
// accessors and the records the class writes itself in live_connection_messages.cpp.

#include "link/live_connection.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <chrono>
#include <cstring>
#include <limits>
#include <thread>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/process.h"
#include "platform/utf.h"

namespace VantroAPI {

using vantro::platform::SharedMemory;
using vantro::platform::ShmResult;

namespace {

// How long Create waits for a peer to let go of this process's previous channel of
// the same name. A peer notices the closing within its polling interval (the test
// peer looks every 50 ms); one that does not is treated as another owner.
constexpr uint64_t kEarlierChannelWaitNs = 2'000'000'000;
constexpr uint32_t kEarlierChannelPollMs = 10;

// Whether the live mapping of that name is a channel that creatorPid made.
bool isChannelOf(const std::u16string& mapping, uint32_t creatorPid) {
    SharedMemory existing;
    if (SharedMemory::open(mapping, existing) != ShmResult::ok || existing.size() < kHeaderSize)
        return false;
    return load(existing.data(), header::kTag) == kTagHead && load(existing.data(), header::kCreatorPid) == creatorPid;
}

// The header's tag: written last by the creator, so that a peer opening the name
// between its creation and the header being written sees no channel yet rather
// than a header of zeros (no creator, no slots).
std::atomic_ref<uint32_t> headerTag(void* view) { return std::atomic_ref<uint32_t>(*static_cast<uint32_t*>(view)); }

// Creates the main mapping. A mapping of the name that this process created before
// and has closed lives on while a peer still holds it; the peer lets go once it sees
// the announcement removed, so a stop followed at once by a start waits for that
// instead of reporting the name as taken.
ShmResult createMainMapping(const std::u16string& mapping, size_t bytes, uint32_t ownPid, SharedMemory& out) {
    ShmResult result = SharedMemory::create(mapping, bytes, out);
    if (result != ShmResult::alreadyExists || !isChannelOf(mapping, ownPid))
        return result;
    const uint64_t deadline = vantro::platform::monotonicNanoseconds() + kEarlierChannelWaitNs;
    while (result == ShmResult::alreadyExists && vantro::platform::monotonicNanoseconds() < deadline) {
        vantro::platform::sleepMilliseconds(kEarlierChannelPollMs);
        result = SharedMemory::create(mapping, bytes, out);
    }
    return result;
}

}  // namespace

LiveConnection::LiveConnection() : ownProcessId_(vantro::platform::currentProcessId()) {}

LiveConnection::~LiveConnection() {
    // Virtual dispatch is already this class's own here; derived parts are gone.
    Disconnect();
}

// --- Open / close ------------------------------------------------------------------------

void LiveConnection::attach(SharedMemory&& mapping, uint32_t firstSlotOffset) {
    mapping_ = std::move(mapping);
    broken_.store(false);
    mapping_.notifyWhenBroken(&broken_);
    view_ = static_cast<std::byte*>(mapping_.data());
    const size_t size = mapping_.size();
    slotsOffset_ = firstSlotOffset;
    usableSlots_ = 0;
    lockEpoch_.fetch_add(1);  // the set below is read from this mapping at the first AddRecord
    // Slots must not overlap the header and must stay 4-aligned so that record
    // pointers are valid RecordPrefix addresses; otherwise the channel has no slots.
    if (firstSlotOffset >= kHeaderSize && firstSlotOffset % 4 == 0 && firstSlotOffset <= size) {
        const size_t slots = (size - firstSlotOffset) / kBlockSize;
        usableSlots_ = static_cast<uint32_t>(std::min<size_t>(slots, std::numeric_limits<uint32_t>::max()));
    }
    freeSlots_.reset(usableSlots_, true);
    slotsHighWater_ = 0;
}

int32_t LiveConnection::Create(const std::u16string& name, uint32_t slotCount) {
    if (IsOpen())
        Disconnect();
    std::vector<std::u16string> ignored;
    ListConnections(ignored, 0);  // sweeps stale announcements

    const uint64_t bytes = (uint64_t{slotCount} + 1) * kBlockSize;
    if (bytes > std::numeric_limits<uint32_t>::max())
        return -1;
    SharedMemory mapping;
    switch (createMainMapping(mappingName(name), bytes, ownProcessId_, mapping)) {
        case ShmResult::ok: break;
        case ShmResult::alreadyExists: return -2;
        default: return -1;
    }
    // The platform hands out zero-filled memory, so only the header needs writing.
    ConnectionHeader initial = makeInitialHeader(slotCount, ownProcessId_);
    const uint32_t tag = initial.prefix.tag;
    initial.prefix.tag = 0;
    std::memcpy(mapping.data(), &initial, sizeof initial);
    headerTag(mapping.data()).store(tag, std::memory_order_release);
    attach(std::move(mapping), kFirstSlotOffset);
    creatorPid_ = ownProcessId_;
    statBuffer_ = 0;
    statCapacity_ = 0;

    bufferIdCounter_.store(kCreatorBufferIdBase);
    name_ = name;
    registered_.store(false);
    resetWindowList_.store(true);

    viewRecord_ = AddRecord(kTagView);
    statRecord_ = AddRecord(kTagStat);
    statRecordId_ = statRecord_ ? load(statRecord_, record::kId) : 0;
    return 0;
}

int32_t LiveConnection::Open(const std::u16string& name) {
    if (IsOpen())
        Disconnect();
    SharedMemory mapping;
    if (SharedMemory::open(mappingName(name), mapping) != ShmResult::ok)
        return -1;
    if (mapping.size() < kHeaderSize)
        return -1;  // not a channel: too small to hold the header fields we read
    if (headerTag(mapping.data()).load(std::memory_order_acquire) != kTagHead)
        return -1;  // not a channel, or its creator has not finished writing the header
    const uint32_t firstSlotOffset = load(mapping.data(), header::kFirstSlotOffset);
    creatorPid_ = load(mapping.data(), header::kCreatorPid);
    attach(std::move(mapping), firstSlotOffset);
    bufferIdCounter_.store(kOpenerBufferIdBase);
    name_ = name;
    return 0;
}

void LiveConnection::Close() {
    UnregisterName(name_);
    Disconnect();
}

void LiveConnection::Disconnect() {
    if (!IsOpen())
        return;
    std::atomic_ref<uint32_t> owner(*lockWord());
    uint32_t expected = ownProcessId_;
    owner.compare_exchange_strong(expected, 0, std::memory_order_release);
    lockEpoch_.fetch_add(1);

    {
        std::unique_lock tables(tablesMutex_);
        bufferTable_.clear();  // each entry unmaps and closes its buffer
        recordBuffers_.clear();
    }
    viewRecord_ = nullptr;
    statRecord_ = nullptr;
    statRecordId_ = 0;
    statBuffer_ = 0;
    statCapacity_ = 0;
    view_ = nullptr;
    slotsOffset_ = 0;
    usableSlots_ = 0;
    creatorPid_ = 0;
    mapping_.close();
    name_.clear();
}

bool LiveConnection::IsOpen() const { return view_ != nullptr; }

std::u16string LiveConnection::GetName() const { return name_; }

// --- Records ------------------------------------------------------------------------------

std::byte* LiveConnection::slotAt(uint32_t index) const {
    assert(index < usableSlots_);
    return view_ + slotsOffset_ + size_t{index} * kBlockSize;
}

RecordPrefix* LiveConnection::recordAt(uint32_t index) const {
    // The one place a slot address becomes a record pointer: the slot is inside the
    // mapping (index < usableSlots_) and 4-aligned (checked in attach).
    return reinterpret_cast<RecordPrefix*>(slotAt(index));
}

uint32_t LiveConnection::scanLimit() const {
    const uint64_t highest = load(view_, header::kHighestSlot);
    const uint64_t declared = load(view_, header::kSlotCount);
    return static_cast<uint32_t>(std::min({highest + 1, declared, uint64_t{usableSlots_}}));
}

bool LiveConnection::recordMatches(const std::byte* slot, uint32_t tag, uint32_t mask, uint32_t value) const {
    if (load(slot, record::kTag) != tag)
        return false;
    return mask == 0 || (load(slot, record::kFlags) & mask) == (mask & value);
}

bool LiveConnection::ownsSlot(const RecordPrefix* record) const {
    if (!IsOpen() || !record)
        return false;
    // As addresses: the pointer may come from anywhere, even an earlier mapping.
    const auto address = reinterpret_cast<uintptr_t>(record);
    const auto first = reinterpret_cast<uintptr_t>(view_ + slotsOffset_);
    if (address < first)
        return false;
    const uintptr_t offset = address - first;
    return offset % kBlockSize == 0 && offset / kBlockSize < usableSlots_;
}

void LiveConnection::noteSlotUsed(uint32_t index) {
    freeSlots_.markUsed(index);
    slotsHighWater_ = std::max(slotsHighWater_, index + 1);
}

void LiveConnection::rereadSlots() {
    // Slots above both bounds were never used here and, by the header, not by the
    // other side either; the check in lowestFreeSlot covers a header that lies.
    const uint32_t end = std::max(std::min(slotsHighWater_, usableSlots_), scanLimit());
    for (uint32_t i = 0; i < end; ++i) {
        if (load(slotAt(i), record::kTag) != 0)
            noteSlotUsed(i);
        else
            freeSlots_.markFree(i);
    }
}

uint32_t LiveConnection::lowestFreeSlot(uint32_t limit) {
    const uint64_t epoch = lockEpoch_.load();
    if (slotsLockEpoch_ != epoch) {
        rereadSlots();
        slotsLockEpoch_ = epoch;
    }
    for (;;) {
        const uint32_t i = freeSlots_.lowest();
        if (i >= limit)
            return limit;
        if (load(slotAt(i), record::kTag) == 0)
            return i;
        noteSlotUsed(i);  // the other side took it since the set was read
    }
}

RecordPrefix* LiveConnection::AddRecord(uint32_t tag) {
    if (!IsOpen() || tag == kTagHead)
        return nullptr;
    const uint32_t limit = std::min(load(view_, header::kSlotCount), usableSlots_);
    const uint32_t i = lowestFreeSlot(limit);
    if (i >= limit)
        return nullptr;
    noteSlotUsed(i);
    std::byte* slot = slotAt(i);
    if (load(view_, header::kHighestSlot) < i)
        store(view_, header::kHighestSlot, i);
    std::memset(slot, 0, kBlockSize);
    const RecordPrefix prefix{tag, recordSizeForTag(tag), ++recordIdCounter_, 0, 0};
    store(slot, Field<RecordPrefix>{0}, prefix);
    store(view_, header::kRecordCount, load(view_, header::kRecordCount) + 1);
    return recordAt(i);
}

int32_t LiveConnection::RemoveRecord(uint32_t id) {
    if (!IsOpen())
        return -1;
    const uint32_t limit = scanLimit();
    for (uint32_t i = 0; i < limit; ++i) {
        std::byte* slot = slotAt(i);
        if (load(slot, record::kTag) == 0 || load(slot, record::kId) != id)
            continue;
        std::memset(slot + 4, 0, kBlockSize - 4);
        store(slot, record::kTag, uint32_t{0});
        freeSlots_.markFree(i);
        store(view_, header::kRecordCount, load(view_, header::kRecordCount) - 1);
        const uint32_t highest = load(view_, header::kHighestSlot);
        if (i == highest && highest > 0)
            store(view_, header::kHighestSlot, highest - 1);
        if (recordAt(i) == viewRecord_)
            viewRecord_ = nullptr;
        if (recordAt(i) == statRecord_)
            statRecord_ = nullptr;
        break;
    }
    std::vector<uint32_t> buffers;
    {
        std::unique_lock tables(tablesMutex_);
        if (const auto entry = recordBuffers_.find(id); entry != recordBuffers_.end()) {
            buffers.assign(entry->second.begin(), entry->second.end());
            recordBuffers_.erase(entry);
        }
    }
    for (uint32_t buffer : buffers)
        CloseBuffer(buffer);
    return 0;
}

uint32_t LiveConnection::CountRecords(uint32_t tag, uint32_t mask, uint32_t value) {
    if (!IsOpen())
        return 0;
    uint32_t count = 0;
    const uint32_t limit = scanLimit();
    for (uint32_t i = 0; i < limit; ++i)
        count += recordMatches(slotAt(i), tag, mask, value) ? 1 : 0;
    return count;
}

RecordPrefix* LiveConnection::FindRecord(uint32_t id) {
    if (!IsOpen() || id == 0)
        return nullptr;
    const uint32_t limit = scanLimit();
    for (uint32_t i = 0; i < limit; ++i) {
        const std::byte* slot = slotAt(i);
        if (load(slot, record::kTag) != 0 && load(slot, record::kId) == id)
            return recordAt(i);
    }
    return nullptr;
}

std::vector<RecordPrefix*>& LiveConnection::FindRecords(std::vector<RecordPrefix*>& out, uint32_t tag, uint32_t mask,
                                                        uint32_t value) {
    out.clear();
    if (!IsOpen())
        return out;
    const uint32_t limit = scanLimit();
    for (uint32_t i = 0; i < limit; ++i) {
        if (recordMatches(slotAt(i), tag, mask, value))
            out.push_back(recordAt(i));
    }
    return out;
}

std::vector<RecordPrefix*>& LiveConnection::AllRecords(std::vector<RecordPrefix*>& out) {
    out.clear();
    if (!IsOpen())
        return out;
    const uint32_t limit = scanLimit();
    for (uint32_t i = 0; i < limit; ++i) {
        if (load(slotAt(i), record::kTag) != 0)
            out.push_back(recordAt(i));
    }
    return out;
}

uint32_t LiveConnection::SlotIndexOf(const RecordPrefix* record) const {
    const auto* bytes = reinterpret_cast<const std::byte*>(record);
    assert(IsOpen() && bytes >= view_ + slotsOffset_);
    return static_cast<uint32_t>((bytes - (view_ + slotsOffset_)) / kBlockSize);
}

// --- Lock -----------------------------------------------------------------------------------

uint32_t* LiveConnection::lockWord() const {
    // The mapping is page-aligned, so the word at offset 24 is 4-aligned as
    // atomic_ref requires.
    return reinterpret_cast<uint32_t*>(view_ + header::kLockOwner.offset);
}

bool LiveConnection::tryTakeLock() {
    std::atomic_ref<uint32_t> owner(*lockWord());
    uint32_t expected = 0;
    if (owner.compare_exchange_strong(expected, ownProcessId_, std::memory_order_acquire)) {
        lockEpoch_.fetch_add(1);  // the other process may have changed slots meanwhile
        return true;
    }
    return expected == ownProcessId_;
}

bool LiveConnection::Lock(uint32_t timeoutMicroseconds) {
    if (!IsOpen())
        return false;
    if (tryTakeLock())
        return true;
    if (timeoutMicroseconds == 0)
        return false;
    const uint64_t start = vantro::platform::monotonicNanoseconds();
    const uint64_t deadline = start + uint64_t{timeoutMicroseconds} * 1000;
    // A batch is short, so the first retries only yield; a lock held longer is waited
    // for in naps (at most 1 ms, never past the deadline), so that a peer holding it
    // for seconds costs this process no CPU.
    for (uint32_t round = 0;; ++round) {
        const uint64_t now = vantro::platform::monotonicNanoseconds();
        if (now - start < 200'000 || round < 8) {
            vantro::platform::yieldThread();
        } else {
            const uint64_t napUs = std::min<uint64_t>({1000, (now - start) / 8000 + 50, (deadline - now) / 1000 + 1});
            std::this_thread::sleep_for(std::chrono::microseconds(napUs));
        }
        if (tryTakeLock())
            return true;
        if (vantro::platform::monotonicNanoseconds() >= deadline)
            return takeOverFromGoneOwner();
    }
}

// The lock word holds a process id only. An owner that died (kill -9, a crash mid-
// batch) or whose id now belongs to a process that has nothing of this link mapped
// never gives it back; the link would deliver nothing until it is re-created. Such
// an owner is replaced; one that cannot be examined (another user's process) or
// that still maps the channel is left alone.
bool LiveConnection::takeOverFromGoneOwner() {
    std::atomic_ref<uint32_t> owner(*lockWord());
    uint32_t seen = owner.load(std::memory_order_acquire);
    if (seen == 0 || seen == ownProcessId_)
        return tryTakeLock();
    const bool gone = !vantro::platform::isProcessAlive(seen) ||
                      mapping_.mappedBy(seen) == vantro::platform::SharedMemory::MappedBy::no;
    if (!gone || !owner.compare_exchange_strong(seen, ownProcessId_, std::memory_order_acquire))
        return false;
    lockEpoch_.fetch_add(1);
    vantro::platform::outputDebugString(u"Velora Vantro: the link's lock was held by process " +
                                        vantro::platform::fromUtf8(std::to_string(seen)) +
                                        u", which no longer has the link open; taken over.\n");
    return true;
}

void LiveConnection::Unlock() {
    if (!IsOpen())
        return;
    std::atomic_ref<uint32_t> owner(*lockWord());
    uint32_t expected = ownProcessId_;
    if (owner.compare_exchange_strong(expected, 0, std::memory_order_release))
        lockEpoch_.fetch_add(1);
}

// --- Buffers ----------------------------------------------------------------------------------

std::u16string LiveConnection::ownBufferName(uint32_t id) const { return bufferName(creatorPid_, id); }

void LiveConnection::keepBuffer(uint32_t id, SharedMemory&& memory) {
    std::unique_lock tables(tablesMutex_);
    // Another thread may have opened it meanwhile: keep theirs; ours closes on return,
    // after the lock is given up (destruction order).
    const auto [entry, inserted] = bufferTable_.try_emplace(id);
    if (inserted) {
        entry->second.memory = std::move(memory);
        entry->second.memory.notifyWhenBroken(&broken_);
    }
}

uint32_t LiveConnection::CreateBuffer(uint32_t recordId, uint32_t size) {
    if (!IsOpen())
        return 0;
    const uint32_t id = ++bufferIdCounter_;
    if (size == 0)
        return 0;
    SharedMemory memory;
    if (SharedMemory::create(ownBufferName(id), size, memory) != ShmResult::ok)
        return 0;
    keepBuffer(id, std::move(memory));
    std::unique_lock tables(tablesMutex_);
    recordBuffers_[recordId].insert(id);
    return id;
}

void* LiveConnection::MapBuffer(uint32_t id) {
    if (!IsOpen() || id == 0)
        return nullptr;
    {
        std::shared_lock tables(tablesMutex_);
        if (const auto entry = bufferTable_.find(id); entry != bufferTable_.end())
            return entry->second.memory.data();
    }
    SharedMemory memory;
    if (SharedMemory::open(ownBufferName(id), memory) != ShmResult::ok)
        return nullptr;
    keepBuffer(id, std::move(memory));
    std::shared_lock tables(tablesMutex_);
    const auto entry = bufferTable_.find(id);
    return entry != bufferTable_.end() ? entry->second.memory.data() : nullptr;
}

size_t LiveConnection::MappedBufferSize(uint32_t id) const {
    std::shared_lock tables(tablesMutex_);
    const auto entry = bufferTable_.find(id);
    return entry != bufferTable_.end() ? entry->second.memory.size() : 0;
}

void LiveConnection::CloseBuffer(uint32_t id) {
    if (id == 0)
        return;
    BufferEntry closing;  // unmapped after the lock is given up: closing takes the system's time
    std::unique_lock tables(tablesMutex_);
    if (const auto entry = bufferTable_.find(id); entry != bufferTable_.end()) {
        closing.memory = std::move(entry->second.memory);
        bufferTable_.erase(entry);
    }
}

void LiveConnection::DestroyBuffer(uint32_t id) {
    if (id == 0)
        return;
    {
        std::unique_lock tables(tablesMutex_);
        for (auto& entry : recordBuffers_)
            entry.second.erase(id);
    }
    CloseBuffer(id);
}

}  // namespace VantroAPI
