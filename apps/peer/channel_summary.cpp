#include "channel_summary.h"

#include "record_decoders.h"

namespace vantro::peer {

using namespace VantroAPI;

namespace {

void writeHeader(const void* head, JsonWriter& json) {
    json.beginObject();
    json.member("tag", tagText(load(head, header::kTag)));
    json.member("size", load(head, header::kSize));
    json.member("flags", load(head, header::kFlags));
    json.member("changeCount", load(head, header::kChangeCount));
    json.member("lockOwner", load(head, header::kLockOwner));
    json.member("totalSize", load(head, header::kTotalSize));
    json.member("firstSlotOffset", load(head, header::kFirstSlotOffset));
    json.member("slotCount", load(head, header::kSlotCount));
    json.member("recordCount", load(head, header::kRecordCount));
    json.member("highestSlot", load(head, header::kHighestSlot));
    json.member("creatorPid", load(head, header::kCreatorPid));
    json.member("label", loadText(head, header::kLabel));
    json.member("updateCount", load(head, header::kUpdateCount));
    json.member("path1", loadText(head, header::kPath1));
    json.member("path2", loadText(head, header::kPath2));
    json.member("userValue", load(head, header::kUserValue));
    json.endObject();
}

void writeRecord(LiveConnection& connection, const RecordPrefix* record, JsonWriter& json) {
    const uint32_t tag = load(record, record::kTag);
    json.beginObject();
    json.member("slot", connection.SlotIndexOf(record));
    json.member("tag", tagText(tag));
    json.member("id", load(record, record::kId));
    json.member("size", load(record, record::kSize));
    json.member("flags", load(record, record::kFlags));
    json.member("changeCount", load(record, record::kChangeCount));
    if (const RecordDecoderEntry* decoder = findRecordDecoder(tag)) {
        json.key(decoder->member);
        decoder->decode(&connection, record, json);
    }
    json.endObject();
}

}  // namespace

void writeChannelSummary(LiveConnection& connection, JsonWriter& json) {
    json.beginObject();
    if (!connection.IsOpen()) {
        json.endObject();
        return;
    }
    json.member("connection", connection.GetName());
    json.member("usableSlots", connection.UsableSlotCount());
    json.key("header");
    writeHeader(connection.HeaderBlock(), json);
    json.key("records");
    json.beginArray();
    std::vector<RecordPrefix*> records;
    for (const RecordPrefix* record : connection.AllRecords(records))
        writeRecord(connection, record, json);
    json.endArray();
    json.endObject();
}

}  // namespace vantro::peer
