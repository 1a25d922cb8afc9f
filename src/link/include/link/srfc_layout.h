#pragma once
// The material half of the 1932-byte "SRFC" record: one per material, written by the
// material manager, read by the peer and the tests (so it belongs to the channel's contract). The geometry half
// (offsets 1920 to 1931) belongs to the scene writer and is defined with the channel layout.
//
// Text fields are UTF-16 code units, zero-filled, and NOT terminated when full (a
// 260-unit name fills all 520 bytes); readers use VantroAPI::loadText, which stops at
// the field's end. Bytes 840..855 and 1916..1919 are never written.
//
// Mapped memory is accessed through VantroAPI::load/store with the fields below; the
// struct exists to pin the offsets with static_asserts and to document the layout.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "link/channel_layout.h"

struct SrfcRecord {
    VantroAPI::RecordPrefix prefix;  // tag "SRFC", size 1932
    uint32_t revision;               // +1 each time the material's properties are re-sent
    char16_t name[260];
    int32_t type;  // MaterialType
    char16_t libraryId[128];
    uint32_t diffuse;  // 0xAARRGGBB; 0x00FFFFFF when a texture travels
    float half;        // 0.5
    float shine;       // 0..1
    float zeroFloat;   // 0.0
    uint32_t zero820;
    float opacity;  // 1 - transparency
    uint32_t zero828;
    float one;  // 1.0
    uint32_t zero836;
    uint8_t unwritten840[16];
    uint32_t textureStamp;      // low 32 bits of the texture stamp; 0 without texture
    char16_t texturePath[260];  // all zero when the texture travels in a buffer
    uint32_t textureBuffer;     // buffer id of the BMP image, 0 = none
    uint32_t textureCapacity;   // bytes of that buffer
    int32_t minusOne;           // -1
    uint8_t zero1392[520];
    uint32_t zero1912;
    uint8_t unwritten1916[4];
    uint32_t geometryChangeCount;  // geometry half: the scene's
    uint32_t geometryBuffer;
    uint32_t geometryCapacity;
};

namespace srfc {

using VantroAPI::Field;
using VantroAPI::TextField;

constexpr Field<uint32_t> kRevision{20};
constexpr TextField kName{24, 260};
constexpr Field<int32_t> kType{544};
constexpr TextField kLibraryId{548, 128};
constexpr Field<uint32_t> kDiffuse{804};
constexpr Field<float> kHalf{808};
constexpr Field<float> kShine{812};
constexpr Field<float> kZeroFloat{816};
constexpr Field<uint32_t> kZero820{820};
constexpr Field<float> kOpacity{824};
constexpr Field<uint32_t> kZero828{828};
constexpr Field<float> kOne{832};
constexpr Field<uint32_t> kZero836{836};
constexpr Field<uint32_t> kTextureStamp{856};
constexpr TextField kTexturePath{860, 260};
constexpr Field<uint32_t> kTextureBuffer{1380};
constexpr Field<uint32_t> kTextureCapacity{1384};
constexpr Field<int32_t> kMinusOne{1388};
constexpr uint32_t kZeroBlockOffset = 1392;
constexpr uint32_t kZeroBlockSize = 520;
constexpr Field<uint32_t> kZero1912{1912};

// Record flag bits of the material writer (besides VantroAPI::kRecordChanged).
constexpr uint32_t kMaterialChanged = 0x100;
constexpr uint32_t kTextureChanged = 0x200;

// Diffuse colour sent in place of the material's when a texture travels.
constexpr uint32_t kTexturedDiffuse = 0x00FFFFFF;

// Zeroes the whole field, then copies at most field.units code units of text; a text
// that fills the field gets no terminator. block is a record of at least 1932 bytes.
inline void storeFixedText(void* block, TextField field, std::u16string_view text) {
    std::byte* at = static_cast<std::byte*>(block) + field.offset;
    std::memset(at, 0, size_t(field.units) * 2);
    std::memcpy(at, text.data(), std::min<size_t>(text.size(), field.units) * 2);
}

}  // namespace srfc

static_assert(std::is_standard_layout_v<SrfcRecord> && std::is_trivially_copyable_v<SrfcRecord>);
static_assert(sizeof(SrfcRecord) == VantroAPI::kSrfcRecordSize && sizeof(SrfcRecord) == 1932);
static_assert(offsetof(SrfcRecord, revision) == srfc::kRevision.offset && srfc::kRevision.offset == 20);
static_assert(offsetof(SrfcRecord, name) == srfc::kName.offset && srfc::kName.offset == 24);
static_assert(sizeof(SrfcRecord::name) == srfc::kName.units * 2 && sizeof(SrfcRecord::name) == 520);
static_assert(offsetof(SrfcRecord, type) == srfc::kType.offset && srfc::kType.offset == 544);
static_assert(offsetof(SrfcRecord, libraryId) == srfc::kLibraryId.offset && srfc::kLibraryId.offset == 548);
static_assert(sizeof(SrfcRecord::libraryId) == srfc::kLibraryId.units * 2 && sizeof(SrfcRecord::libraryId) == 256);
static_assert(offsetof(SrfcRecord, diffuse) == srfc::kDiffuse.offset && srfc::kDiffuse.offset == 804);
static_assert(offsetof(SrfcRecord, half) == srfc::kHalf.offset && srfc::kHalf.offset == 808);
static_assert(offsetof(SrfcRecord, shine) == srfc::kShine.offset && srfc::kShine.offset == 812);
static_assert(offsetof(SrfcRecord, zeroFloat) == srfc::kZeroFloat.offset && srfc::kZeroFloat.offset == 816);
static_assert(offsetof(SrfcRecord, zero820) == srfc::kZero820.offset && srfc::kZero820.offset == 820);
static_assert(offsetof(SrfcRecord, opacity) == srfc::kOpacity.offset && srfc::kOpacity.offset == 824);
static_assert(offsetof(SrfcRecord, zero828) == srfc::kZero828.offset && srfc::kZero828.offset == 828);
static_assert(offsetof(SrfcRecord, one) == srfc::kOne.offset && srfc::kOne.offset == 832);
static_assert(offsetof(SrfcRecord, zero836) == srfc::kZero836.offset && srfc::kZero836.offset == 836);
static_assert(offsetof(SrfcRecord, unwritten840) == 840 && sizeof(SrfcRecord::unwritten840) == 16);
static_assert(offsetof(SrfcRecord, textureStamp) == srfc::kTextureStamp.offset && srfc::kTextureStamp.offset == 856);
static_assert(offsetof(SrfcRecord, texturePath) == srfc::kTexturePath.offset && srfc::kTexturePath.offset == 860);
static_assert(sizeof(SrfcRecord::texturePath) == srfc::kTexturePath.units * 2 &&
              sizeof(SrfcRecord::texturePath) == 520);
static_assert(offsetof(SrfcRecord, textureBuffer) == srfc::kTextureBuffer.offset &&
              srfc::kTextureBuffer.offset == 1380);
static_assert(offsetof(SrfcRecord, textureCapacity) == srfc::kTextureCapacity.offset &&
              srfc::kTextureCapacity.offset == 1384);
static_assert(offsetof(SrfcRecord, minusOne) == srfc::kMinusOne.offset && srfc::kMinusOne.offset == 1388);
static_assert(offsetof(SrfcRecord, zero1392) == srfc::kZeroBlockOffset && srfc::kZeroBlockOffset == 1392);
static_assert(sizeof(SrfcRecord::zero1392) == srfc::kZeroBlockSize && srfc::kZeroBlockSize == 520);
static_assert(offsetof(SrfcRecord, zero1912) == srfc::kZero1912.offset && srfc::kZero1912.offset == 1912);
static_assert(offsetof(SrfcRecord, unwritten1916) == 1916 && sizeof(SrfcRecord::unwritten1916) == 4);
static_assert(offsetof(SrfcRecord, geometryChangeCount) == VantroAPI::srfc_record::kGeometryChangeCount.offset);
static_assert(offsetof(SrfcRecord, geometryBuffer) == VantroAPI::srfc_record::kGeometryBuffer.offset);
static_assert(offsetof(SrfcRecord, geometryCapacity) == VantroAPI::srfc_record::kGeometryCapacity.offset);
// The material writer's fields end where the geometry half begins.
static_assert(srfc::kZero1912.offset + 4 + 4 == VantroAPI::srfc_record::kGeometryChangeCount.offset);
