#pragma once
// MaterialInfo: one material as the renderer sees it, flattened from the document's
// material (name, colours, shine, opacity, type, texture). Identical document
// materials share one MaterialInfo; each owns one "SRFC" record in the live link.
//
// Owned by a MaterialManager. Fields are written on the main thread (load, add,
// update) and read on the sync worker (send); both hold the scene's exclusive access,
// which is the lock for every field here.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "link/channel_layout.h"
#include "materials/material_type.h"

// A 4x4 transform, row-major.
using TextureTransform = std::array<double, 16>;

constexpr TextureTransform kIdentityTransform = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

constexpr uint32_t kDefaultMaterialColor = 0xFFAAAAAA;

struct MaterialInfo {
    // Takes the next value of a process-wide 32-bit counter (first 1), sign-extended.
    MaterialInfo();
    MaterialInfo(const MaterialInfo&) = delete;
    MaterialInfo& operator=(const MaterialInfo&) = delete;

    int64_t id;
    uint64_t nameKey = 0;
    uint64_t renderCrc = 0;
    bool changed = false;  // properties must be re-sent (flag 0x100)
    std::u16string name;
    std::u16string libraryId;  // never set; travels empty
    MaterialType type = MaterialType::none;
    uint32_t diffuse = kDefaultMaterialColor;
    uint32_t specular = kDefaultMaterialColor;
    const float half = 0.5f;
    float shine = 1.0f;
    const float zeroFloat = 0.0f;
    const uint32_t zero820 = 0;
    float opacity = 1.0f;
    const uint32_t zero828 = 0;
    const float one = 1.0f;
    const uint32_t zero836 = 0;

    bool textureChanged = false;        // texture must be re-sent (flag 0x200)
    uint64_t textureStamp = 0;          // file: last-write FILETIME; bitmap: manager's counter
    std::u16string texturePath;         // platform separators; empty when none
    std::vector<uint8_t> textureImage;  // whole BMP file image of an embedded bitmap
    TextureTransform textureTransform = kIdentityTransform;
    uint32_t textureChannel = 0;

    // The "SRFC" record in shared memory; null until the first send.
    VantroAPI::RecordPrefix* record = nullptr;

    // Process-local copies of what this process wrote into the record, so that the
    // record's own bytes (which the peer can change) are never trusted.
    uint32_t revision = 0;         // offset 20
    uint32_t textureBuffer = 0;    // offset 1380
    uint32_t textureCapacity = 0;  // offset 1384

    uint32_t TextureImageSize() const { return uint32_t(textureImage.size()); }
    bool HasTexture() const { return !texturePath.empty() || !textureImage.empty(); }
};

// 0xAARRGGBB from 8-bit channels and an alpha fraction (truncated, clamped to 0..1).
uint32_t PackColor(uint8_t red, uint8_t green, uint8_t blue, double alpha);
