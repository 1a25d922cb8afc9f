#pragma once
// How the peer shows each record type in its summary. A decoder reads one record
// (a whole 2048-byte slot inside the mapping) through the channel layout's load()
// helpers and writes its payload as JSON members; buffers it needs are mapped
// through the connection and read no further than MappedBufferSize.
//
// New record types (or more fields of a known one) are added as a decoder function
// and one line in the table of record_decoders.cpp.
//
// decodeRecordBytes runs the same decoders on a copy of a slot's bytes, without a
// channel: the entry point for fuzzing what a hostile creator can put in a record.

#include <cstdint>
#include <span>

#include "json_writer.h"
#include "link/live_connection.h"

namespace vantro::peer {

// connection may be null: buffers the record names are then reported unmapped.
using RecordDecoder = void (*)(VantroAPI::LiveConnection* connection, const VantroAPI::RecordPrefix* record,
                               JsonWriter& json);

struct RecordDecoderEntry {
    uint32_t tag;
    const char* member;  // name of the JSON member that holds the payload
    RecordDecoder decode;
};

// The decoders of every record type the peer understands, one per tag.
std::span<const RecordDecoderEntry> recordDecoders();

// The decoder for a tag, or null for a tag the peer does not know.
const RecordDecoderEntry* findRecordDecoder(uint32_t tag);

// Writes the payload object of the record in slot (its first kBlockSize bytes are
// the slot; the bytes need no alignment), mapping its buffers through connection
// when given. False, writing nothing, when slot is shorter than a slot or its tag
// has no decoder.
bool decodeRecordBytes(std::span<const std::byte> slot, VantroAPI::LiveConnection* connection, JsonWriter& json);

// UTF-16 text at the start of a mapped buffer: up to its terminator, never past
// maxBytes. bytes may be null (gives the empty text).
std::u16string readBufferText(const void* bytes, size_t maxBytes);

}  // namespace vantro::peer
