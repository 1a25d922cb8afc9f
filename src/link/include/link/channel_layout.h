#pragma once
// The shared-memory channel format, defined once for the writer (LiveConnection),
// the peer and the tests. See docs/channel.md for the prose description.
//
// Every structure is a plain little-endian struct with a static_assert on each
// offset and size. Mapped memory is never accessed through these structs directly:
// the other process may change any byte at any time, so fields are read and written
// with load()/store() (a memcpy of a checked type at a checked offset) and whole
// payloads are copied in and out. The typed offsets below (Field<T>) tie each offset
// to its type so that a u32 field cannot be read as a float by accident.
//
// Bounds: every Field lies inside the 2048-byte block it belongs to (the header
// block or one slot). Code that hands out a block pointer guarantees the whole
// block is inside its mapping; load/store themselves do not check.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace VantroAPI {

// --- Tags -------------------------------------------------------------------------

// A tag is four ASCII characters in memory order: makeTag("HEAD") == 0x44414548.
constexpr uint32_t makeTag(const char (&text)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}

constexpr uint32_t kTagHead = makeTag("HEAD");
constexpr uint32_t kTagView = makeTag("VIEW");
constexpr uint32_t kTagStat = makeTag("STAT");
constexpr uint32_t kTagSrfc = makeTag("SRFC");
static_assert(kTagHead == 0x44414548u);

// The four characters of a tag; non-printable bytes become '?' so that a tag read
// from the other process can always be printed.
std::string tagText(uint32_t tag);

// --- Geometry of the main mapping ---------------------------------------------------

constexpr uint32_t kBlockSize = 2048;        // the header block and every slot
constexpr uint32_t kFirstSlotOffset = 2048;  // where the creator puts slot 0
constexpr uint32_t kHeaderSize = 1244;       // bytes of the header in use
constexpr uint32_t kRecordPrefixSize = 20;
constexpr uint32_t kViewRecordSize = 652;
constexpr uint32_t kStatRecordSize = 28;
constexpr uint32_t kSrfcRecordSize = 1932;

// Size of a record made by AddRecord for this tag ("HEAD" is refused there).
constexpr uint32_t recordSizeForTag(uint32_t tag) {
    switch (tag) {
        case kTagSrfc: return kSrfcRecordSize;
        case kTagStat: return kStatRecordSize;
        case kTagView: return kViewRecordSize;
        default: return kRecordPrefixSize;
    }
}

// Record flag bits (the other bits belong to the record type).
constexpr uint32_t kRecordChanged = 0x1;
// Header flag bits.
constexpr uint32_t kHeaderChanged = 0x1;
constexpr uint32_t kHeaderClosedByPeer = 0x2;

// Window message that wakes the peer (WM_APP + 0x729), and what the plug-in always
// posts with it: NotifyPeer(kWakeReason, kWakeDetail) gives lParam 2 ("records
// changed: read them again"), wParam 0.
constexpr uint32_t kWakeMessage = 0x8729;
constexpr uint64_t kWakeReason = 2;
constexpr uint64_t kWakeDetail = 0;

// --- Typed access to mapped bytes ----------------------------------------------------

template <class T>
struct Field {
    static_assert(std::is_trivially_copyable_v<T>);
    uint32_t offset;
};

// A fixed-size UTF-16 text field of `units` code units, terminator included.
struct TextField {
    uint32_t offset;
    uint32_t units;
};

template <class T>
T load(const void* block, Field<T> field) {
    T value;
    std::memcpy(&value, static_cast<const std::byte*>(block) + field.offset, sizeof(T));
    return value;
}

template <class T>
void store(void* block, Field<T> field, const T& value) {
    std::memcpy(static_cast<std::byte*>(block) + field.offset, &value, sizeof(T));
}

// Reads a text field up to its terminator or its end, whichever comes first, so a
// field without terminator (written by a careless peer) never reads past itself.
std::u16string loadText(const void* block, TextField field);

// Writes text truncated to units - 1 code units, zero-terminated and zero-padded.
// text may be null (stores the empty text).
void storeText(void* block, TextField field, const char16_t* text);

// --- RecordPrefix: the first 20 bytes of every record and of the header ---------------

struct RecordPrefix {
    uint32_t tag;
    uint32_t size;
    uint32_t id;
    uint32_t flags;
    uint32_t changeCount;
};

namespace record {
constexpr Field<uint32_t> kTag{0};
constexpr Field<uint32_t> kSize{4};
constexpr Field<uint32_t> kId{8};
constexpr Field<uint32_t> kFlags{12};
constexpr Field<uint32_t> kChangeCount{16};
}  // namespace record

static_assert(std::is_standard_layout_v<RecordPrefix> && sizeof(RecordPrefix) == kRecordPrefixSize);
static_assert(offsetof(RecordPrefix, tag) == record::kTag.offset && record::kTag.offset == 0);
static_assert(offsetof(RecordPrefix, size) == record::kSize.offset && record::kSize.offset == 4);
static_assert(offsetof(RecordPrefix, id) == record::kId.offset && record::kId.offset == 8);
static_assert(offsetof(RecordPrefix, flags) == record::kFlags.offset && record::kFlags.offset == 12);
static_assert(offsetof(RecordPrefix, changeCount) == record::kChangeCount.offset && record::kChangeCount.offset == 16);

// --- ConnectionHeader: tag "HEAD", 1244 bytes at offset 0 of the main mapping -------

struct ConnectionHeader {
    RecordPrefix prefix;       // "HEAD", 1244, id 0, flags, changeCount
    uint32_t unnamed;          // 1 at creation, never used afterwards
    uint32_t lockOwner;        // pid of the lock holder, 0 = free
    uint32_t totalSize;        // bytes of the main mapping (informative only)
    uint32_t firstSlotOffset;  // where slot 0 begins
    uint32_t slotCount;
    uint32_t recordCount;  // records in use, header included
    uint32_t highestSlot;  // high-water slot index, searches cover 0..highestSlot
    uint32_t creatorPid;
    char16_t label[64];
    uint8_t reserved[16];
    uint32_t updateCount;
    char16_t path1[260];
    char16_t path2[260];
    uint32_t userValue;
};

namespace header {
constexpr Field<uint32_t> kTag = record::kTag;
constexpr Field<uint32_t> kSize = record::kSize;
constexpr Field<uint32_t> kId = record::kId;
constexpr Field<uint32_t> kFlags = record::kFlags;
constexpr Field<uint32_t> kChangeCount = record::kChangeCount;
constexpr Field<uint32_t> kUnnamed{20};
constexpr Field<uint32_t> kLockOwner{24};
constexpr Field<uint32_t> kTotalSize{28};
constexpr Field<uint32_t> kFirstSlotOffset{32};
constexpr Field<uint32_t> kSlotCount{36};
constexpr Field<uint32_t> kRecordCount{40};
constexpr Field<uint32_t> kHighestSlot{44};
constexpr Field<uint32_t> kCreatorPid{48};
constexpr TextField kLabel{52, 64};
constexpr uint32_t kReservedOffset = 180;
constexpr Field<uint32_t> kUpdateCount{196};
constexpr TextField kPath1{200, 260};
constexpr TextField kPath2{720, 260};
constexpr Field<uint32_t> kUserValue{1240};
}  // namespace header

static_assert(std::is_standard_layout_v<ConnectionHeader> && sizeof(ConnectionHeader) == kHeaderSize);
static_assert(offsetof(ConnectionHeader, unnamed) == header::kUnnamed.offset && header::kUnnamed.offset == 20);
static_assert(offsetof(ConnectionHeader, lockOwner) == header::kLockOwner.offset && header::kLockOwner.offset == 24);
static_assert(offsetof(ConnectionHeader, totalSize) == header::kTotalSize.offset && header::kTotalSize.offset == 28);
static_assert(offsetof(ConnectionHeader, firstSlotOffset) == header::kFirstSlotOffset.offset &&
              header::kFirstSlotOffset.offset == 32);
static_assert(offsetof(ConnectionHeader, slotCount) == header::kSlotCount.offset && header::kSlotCount.offset == 36);
static_assert(offsetof(ConnectionHeader, recordCount) == header::kRecordCount.offset &&
              header::kRecordCount.offset == 40);
static_assert(offsetof(ConnectionHeader, highestSlot) == header::kHighestSlot.offset &&
              header::kHighestSlot.offset == 44);
static_assert(offsetof(ConnectionHeader, creatorPid) == header::kCreatorPid.offset && header::kCreatorPid.offset == 48);
static_assert(offsetof(ConnectionHeader, label) == header::kLabel.offset && header::kLabel.offset == 52);
static_assert(sizeof(ConnectionHeader::label) == header::kLabel.units * 2 && header::kLabel.units == 64);
static_assert(offsetof(ConnectionHeader, reserved) == header::kReservedOffset && header::kReservedOffset == 180);
static_assert(offsetof(ConnectionHeader, updateCount) == header::kUpdateCount.offset &&
              header::kUpdateCount.offset == 196);
static_assert(offsetof(ConnectionHeader, path1) == header::kPath1.offset && header::kPath1.offset == 200);
static_assert(offsetof(ConnectionHeader, path2) == header::kPath2.offset && header::kPath2.offset == 720);
static_assert(sizeof(ConnectionHeader::path1) == 520 && sizeof(ConnectionHeader::path2) == 520);
static_assert(offsetof(ConnectionHeader, userValue) == header::kUserValue.offset && header::kUserValue.offset == 1240);

// The header a creator writes for slotCount slots (totalSize = (slotCount + 1) x 2048).
ConnectionHeader makeInitialHeader(uint32_t slotCount, uint32_t creatorPid);

// --- ViewData: the camera payload, 628 bytes ------------------------------------------

struct ViewData {
    float viewMatrix[16];   // camera-to-world, row-major, rows r0..r3
    uint8_t reserved[520];  // zero
    uint32_t cameraKind;    // 6 perspective, 0 none
    float fieldOfView;      // full vertical angle in degrees
    float position[3];      // metres, renderer axes
    float direction[3];     // unit vector from target towards camera
    float up[3];
};

static_assert(std::is_standard_layout_v<ViewData> && std::is_trivially_copyable_v<ViewData>);
static_assert(sizeof(ViewData) == 628);
static_assert(offsetof(ViewData, viewMatrix) == 0);
static_assert(offsetof(ViewData, reserved) == 64);
static_assert(offsetof(ViewData, cameraKind) == 584);
static_assert(offsetof(ViewData, fieldOfView) == 588);
static_assert(offsetof(ViewData, position) == 592);
static_assert(offsetof(ViewData, direction) == 604);
static_assert(offsetof(ViewData, up) == 616);

constexpr uint32_t kCameraPerspective = 6;
constexpr uint32_t kCameraNone = 0;

// --- Record "VIEW": 652 bytes ----------------------------------------------------------

struct ViewRecord {
    RecordPrefix prefix;
    uint32_t applyNow;  // 1 when sent with notify, else 0
    ViewData view;
};

namespace view_record {
constexpr Field<uint32_t> kApplyNow{20};
constexpr Field<ViewData> kView{24};
}  // namespace view_record

static_assert(std::is_standard_layout_v<ViewRecord> && sizeof(ViewRecord) == kViewRecordSize);
static_assert(offsetof(ViewRecord, applyNow) == view_record::kApplyNow.offset && view_record::kApplyNow.offset == 20);
static_assert(offsetof(ViewRecord, view) == view_record::kView.offset && view_record::kView.offset == 24);

// --- Record "STAT": 28 bytes -------------------------------------------------------------

struct StatRecord {
    RecordPrefix prefix;
    uint32_t textBuffer;    // buffer id of the UTF-16 JSON text, 0 = none
    uint32_t textCapacity;  // bytes of that buffer
};

namespace stat_record {
constexpr Field<uint32_t> kTextBuffer{20};
constexpr Field<uint32_t> kTextCapacity{24};
}  // namespace stat_record

static_assert(std::is_standard_layout_v<StatRecord> && sizeof(StatRecord) == kStatRecordSize);
static_assert(offsetof(StatRecord, textBuffer) == stat_record::kTextBuffer.offset &&
              stat_record::kTextBuffer.offset == 20);
static_assert(offsetof(StatRecord, textCapacity) == stat_record::kTextCapacity.offset &&
              stat_record::kTextCapacity.offset == 24);

// --- Record "SRFC": 1932 bytes; the material half belongs to the material writer --------

namespace srfc_record {
constexpr Field<uint32_t> kGeometryChangeCount{1920};
constexpr Field<uint32_t> kGeometryBuffer{1924};
constexpr Field<uint32_t> kGeometryCapacity{1928};
}  // namespace srfc_record

static_assert(srfc_record::kGeometryChangeCount.offset == 1920);
static_assert(srfc_record::kGeometryBuffer.offset == 1924);
static_assert(srfc_record::kGeometryCapacity.offset == 1928);
static_assert(srfc_record::kGeometryCapacity.offset + 4 == kSrfcRecordSize);
static_assert(kSrfcRecordSize <= kBlockSize && kViewRecordSize <= kBlockSize);

// --- Names ---------------------------------------------------------------------------------

// Kernel object name of a connection: every backslash becomes a forward slash.
std::u16string mappingName(std::u16string_view connectionName);

// "VantroAPI/%d/%08X": creatorPid in decimal (as a signed 32-bit value), id in
// eight upper-case hex digits.
std::u16string bufferName(uint32_t creatorPid, uint32_t bufferId);

// First buffer ids handed out by each side (the counters start one below).
constexpr uint32_t kCreatorBufferIdBase = 0;
constexpr uint32_t kOpenerBufferIdBase = 0x80000000u;

}  // namespace VantroAPI
