// LiveConnection: record and header flags, header fields, and the two records the
// class writes itself ("VIEW" and "STAT").

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>

#include "link/live_connection.h"
#include "link/url_encode.h"

namespace VantroAPI {

namespace {

// {"key":"value",...} in key order; kind 0 values percent-encoded. Keys are written
// as they are: the plug-in's keys are plain identifiers.
std::u16string statisticsText(const StatisticsMap& values) {
    std::u16string text;
    for (const auto& [key, value] : values) {
        text += text.empty() ? u"{" : u",";
        text += u'"';
        text += key;
        text += u"\":\"";
        text += value.kind == 0 ? vantro::UrlEncode(value.text) : value.text;
        text += u'"';
    }
    text += text.empty() ? u"{}" : u"}";
    return text;
}

}  // namespace

// --- Record flags ---------------------------------------------------------------------------

void LiveConnection::SetRecordFlags(RecordPrefix* record, uint32_t flags) {
    if (!ownsSlot(record))
        return;
    if (flags & kRecordChanged)
        store(record, record::kChangeCount, load(record, record::kChangeCount) + 1);
    store(record, record::kFlags, load(record, record::kFlags) | flags);
}

void LiveConnection::ClearRecordFlags(RecordPrefix* record, uint32_t flags) {
    if (!ownsSlot(record))
        return;
    store(record, record::kFlags, load(record, record::kFlags) & ~flags);
}

uint32_t LiveConnection::TestRecordFlags(const RecordPrefix* record, uint32_t flags) {
    if (!ownsSlot(record))
        return 0;
    return load(record, record::kFlags) & flags;
}

namespace {

// The header's flags word is changed by threads of this process and by the other
// process at the same time without the link lock (the peer sets "closed", the main
// thread tests it while the worker raises "changed"): it is read and changed
// atomically so no bit is lost and no reader sees a torn value. Header words are
// 4-byte aligned (the mapping starts on a page).
std::atomic_ref<uint32_t> headerFlags(std::byte* view) {
    return std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(view + header::kFlags.offset));
}

}  // namespace

// --- Header fields ----------------------------------------------------------------------------

void LiveConnection::SetFlags(uint32_t flags) {
    if (!IsOpen())
        return;
    if (flags & kHeaderChanged) {
        store(view_, header::kChangeCount, load(view_, header::kChangeCount) + 1);
        store(view_, header::kUpdateCount, load(view_, header::kUpdateCount) + 1);
    }
    headerFlags(view_).fetch_or(flags);
}

void LiveConnection::ClearFlags(uint32_t flags) {
    if (!IsOpen())
        return;
    headerFlags(view_).fetch_and(~flags);
}

uint32_t LiveConnection::TestFlags(uint32_t flags) {
    if (!IsOpen())
        return 0;
    return headerFlags(view_).load() & flags;
}

void LiveConnection::SetUpdateCount(uint32_t value) {
    if (IsOpen())
        store(view_, header::kUpdateCount, value);
}

uint32_t LiveConnection::GetUpdateCount() { return IsOpen() ? load(view_, header::kUpdateCount) : 0; }

void LiveConnection::SetLabel(const char16_t* text) {
    if (IsOpen())
        storeText(view_, header::kLabel, text);
}

const char16_t* LiveConnection::copyText(TextField field, std::u16string& copy) {
    if (!IsOpen())
        return nullptr;
    // loadText stops at the field's end; the last unit is reserved for the terminator
    // the writer must have left there.
    copy = loadText(view_, TextField{field.offset, field.units - 1});
    return copy.c_str();
}

const char16_t* LiveConnection::GetLabel() { return copyText(header::kLabel, labelCopy_); }

void LiveConnection::SetPath1(const char16_t* text) {
    if (IsOpen())
        storeText(view_, header::kPath1, text);
}

const char16_t* LiveConnection::GetPath1() { return copyText(header::kPath1, path1Copy_); }

void LiveConnection::SetPath2(const char16_t* text) {
    if (IsOpen())
        storeText(view_, header::kPath2, text);
}

const char16_t* LiveConnection::GetPath2() { return copyText(header::kPath2, path2Copy_); }

void LiveConnection::SetUserValue(uint32_t value) {
    if (IsOpen())
        store(view_, header::kUserValue, value);
}

uint32_t LiveConnection::GetUserValue() { return IsOpen() ? load(view_, header::kUserValue) : 0; }

bool LiveConnection::HasBothPaths() {
    if (!IsOpen())
        return false;
    return load(view_, Field<char16_t>{header::kPath1.offset}) != 0 &&
           load(view_, Field<char16_t>{header::kPath2.offset}) != 0;
}

bool LiveConnection::IsActive() { return IsOpen() && !IsBroken() && TestFlags(kHeaderClosedByPeer) == 0; }

// --- "VIEW" and "STAT" --------------------------------------------------------------------------

void LiveConnection::SetView(bool notify, const ViewData* data) {
    if (!IsOpen() || !viewRecord_)
        return;
    if (notify && data) {
        ClearRecordFlags(viewRecord_, kRecordChanged);
        store(viewRecord_, view_record::kApplyNow, uint32_t{1});
        store(viewRecord_, view_record::kView, *data);
        SetRecordFlags(viewRecord_, kRecordChanged);
        NotifyPeer(kWakeReason, kWakeDetail);
        return;
    }
    store(viewRecord_, view_record::kApplyNow, uint32_t{0});
    if (data)
        store(viewRecord_, view_record::kView, *data);
    SetRecordFlags(viewRecord_, kRecordChanged);
}

void LiveConnection::SetStatistics(const StatisticsMap& values) {
    if (!IsOpen() || !statRecord_)
        return;
    const std::u16string text = statisticsText(values);
    const uint64_t byteLength = (uint64_t{text.size()} + 1) * 2;
    if (2 * byteLength > UINT32_MAX)
        return;  // a caller's bug: statistics are a few hundred bytes

    // The buffer id and capacity are this process's own: the record's copies are
    // for the peer, which may have rewritten them to name any buffer we hold.
    if (statBuffer_ == 0 || statCapacity_ < byteLength) {
        DestroyBuffer(statBuffer_);
        statCapacity_ = static_cast<uint32_t>(2 * byteLength);
        statBuffer_ = CreateBuffer(statRecordId_, statCapacity_);
    }
    store(statRecord_, stat_record::kTextBuffer, statBuffer_);
    store(statRecord_, stat_record::kTextCapacity, statCapacity_);
    if (auto* bytes = static_cast<std::byte*>(MapBuffer(statBuffer_))) {
        const size_t room = MappedBufferSize(statBuffer_);
        std::memset(bytes, 0, std::min<size_t>(statCapacity_, room));
        std::memcpy(bytes, text.c_str(), std::min<size_t>(byteLength, room));
    }
    SetRecordFlags(statRecord_, kRecordChanged);
}

}  // namespace VantroAPI
