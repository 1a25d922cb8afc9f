#include "record_decoders.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vantro::peer {

using namespace VantroAPI;

namespace {

template <size_t N>
void floatArray(JsonWriter& json, std::string_view name, const float (&values)[N]) {
    json.key(name);
    json.beginArray(true);
    for (float v : values)
        json.value(v);
    json.endArray();
}

void decodeView(LiveConnection*, const RecordPrefix* record, JsonWriter& json) {
    const ViewData view = load(record, view_record::kView);
    json.beginObject();
    json.member("applyNow", load(record, view_record::kApplyNow));
    json.member("cameraKind", view.cameraKind);
    json.member("fieldOfView", view.fieldOfView);
    floatArray(json, "viewMatrix", view.viewMatrix);
    floatArray(json, "position", view.position);
    floatArray(json, "direction", view.direction);
    floatArray(json, "up", view.up);
    json.member("reservedZero",
                std::all_of(std::begin(view.reserved), std::end(view.reserved), [](uint8_t b) { return b == 0; }));
    json.endObject();
}

void decodeStat(LiveConnection* connection, const RecordPrefix* record, JsonWriter& json) {
    const uint32_t buffer = load(record, stat_record::kTextBuffer);
    const uint32_t capacity = load(record, stat_record::kTextCapacity);
    json.beginObject();
    json.member("textBuffer", buffer);
    json.member("textCapacity", capacity);
    const void* bytes = buffer != 0 && connection ? connection->MapBuffer(buffer) : nullptr;
    json.member("bufferMapped", bytes != nullptr);
    if (bytes) {
        const size_t size = connection->MappedBufferSize(buffer);
        json.member("bufferSize", uint64_t{size});
        json.member("text", readBufferText(bytes, std::min<size_t>(size, capacity)));
    }
    json.endObject();
}

void decodeSrfc(LiveConnection* connection, const RecordPrefix* record, JsonWriter& json) {
    const uint32_t buffer = load(record, srfc_record::kGeometryBuffer);
    json.beginObject();
    json.member("geometryChangeCount", load(record, srfc_record::kGeometryChangeCount));
    json.member("geometryBuffer", buffer);
    json.member("geometryCapacity", load(record, srfc_record::kGeometryCapacity));
    const void* bytes = buffer != 0 && connection ? connection->MapBuffer(buffer) : nullptr;
    json.member("geometryMapped", bytes != nullptr);
    if (bytes)
        json.member("geometryBufferSize", uint64_t{connection->MappedBufferSize(buffer)});
    json.endObject();
}

constexpr std::array kDecoders{
    RecordDecoderEntry{kTagView, "view", decodeView},
    RecordDecoderEntry{kTagStat, "stat", decodeStat},
    RecordDecoderEntry{kTagSrfc, "srfc", decodeSrfc},
};

}  // namespace

std::span<const RecordDecoderEntry> recordDecoders() { return kDecoders; }

const RecordDecoderEntry* findRecordDecoder(uint32_t tag) {
    for (const RecordDecoderEntry& entry : kDecoders) {
        if (entry.tag == tag)
            return &entry;
    }
    return nullptr;
}

bool decodeRecordBytes(std::span<const std::byte> slot, LiveConnection* connection, JsonWriter& json) {
    if (slot.size() < kBlockSize)
        return false;
    // A whole aligned slot, as the decoders expect of a record in a mapping.
    alignas(RecordPrefix) std::byte copy[kBlockSize];
    std::memcpy(copy, slot.data(), kBlockSize);
    const auto* record = reinterpret_cast<const RecordPrefix*>(copy);
    const RecordDecoderEntry* decoder = findRecordDecoder(load(record, record::kTag));
    if (!decoder)
        return false;
    decoder->decode(connection, record, json);
    return true;
}

std::u16string readBufferText(const void* bytes, size_t maxBytes) {
    std::u16string text;
    if (!bytes)
        return text;
    for (size_t offset = 0; offset + 2 <= maxBytes; offset += 2) {
        const char16_t unit = load(bytes, Field<char16_t>{static_cast<uint32_t>(offset)});
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return text;
}

}  // namespace vantro::peer
