#include "link/channel_layout.h"

#include <cstdio>

namespace VantroAPI {

std::string tagText(uint32_t tag) {
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i) {
        auto c = static_cast<unsigned char>(tag >> (8 * i));
        if (c >= 0x20 && c < 0x7F)
            text[static_cast<size_t>(i)] = static_cast<char>(c);
    }
    return text;
}

std::u16string loadText(const void* block, TextField field) {
    std::u16string text;
    for (uint32_t i = 0; i < field.units; ++i) {
        char16_t unit = load(block, Field<char16_t>{field.offset + 2 * i});
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return text;
}

void storeText(void* block, TextField field, const char16_t* text) {
    uint32_t i = 0;
    if (text) {
        for (; i + 1 < field.units && text[i] != 0; ++i)
            store(block, Field<char16_t>{field.offset + 2 * i}, text[i]);
    }
    std::memset(static_cast<std::byte*>(block) + field.offset + 2 * i, 0, 2 * (field.units - i));
}

ConnectionHeader makeInitialHeader(uint32_t slotCount, uint32_t creatorPid) {
    ConnectionHeader h{};
    h.prefix = RecordPrefix{kTagHead, kHeaderSize, 0, 0, 1};
    h.unnamed = 1;
    h.lockOwner = 0;
    // The creator keeps (slotCount + 1) x 2048 below 4 GiB; the field is 32-bit.
    h.totalSize = static_cast<uint32_t>((uint64_t{slotCount} + 1) * kBlockSize);
    h.firstSlotOffset = kFirstSlotOffset;
    h.slotCount = slotCount;
    h.recordCount = 1;
    h.highestSlot = 1;
    h.creatorPid = creatorPid;
    h.updateCount = 1;
    return h;
}

std::u16string mappingName(std::u16string_view connectionName) {
    std::u16string name(connectionName);
    for (char16_t& c : name) {
        if (c == u'\\')
            c = u'/';
    }
    return name;
}

std::u16string bufferName(uint32_t creatorPid, uint32_t bufferId) {
    char text[64];
    std::snprintf(text, sizeof text, "VantroAPI/%d/%08X", static_cast<int32_t>(creatorPid), bufferId);
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

}  // namespace VantroAPI
