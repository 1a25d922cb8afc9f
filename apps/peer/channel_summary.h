#pragma once
// The peer's report of what it sees in a channel: the header fields and every
// record in use with its prefix and decoded payload, as one JSON object:
//
//   {"connection": name, "usableSlots": n,
//    "header": {"tag", "size", "flags", "changeCount", "lockOwner", "totalSize",
//               "firstSlotOffset", "slotCount", "recordCount", "highestSlot",
//               "creatorPid", "label", "updateCount", "path1", "path2", "userValue"},
//    "records": [{"slot", "tag", "id", "size", "flags", "changeCount",
//                 <decoder member>: {...}}, ...]}
//
// Flags are shown as read, before the peer clears any changed bit.

#include "json_writer.h"
#include "link/live_connection.h"

namespace vantro::peer {

// Writes the summary of an open connection (an empty object when closed). Maps the
// buffers the records refer to. Call with the channel lock held for a consistent view.
void writeChannelSummary(VantroAPI::LiveConnection& connection, JsonWriter& json);

}  // namespace vantro::peer
