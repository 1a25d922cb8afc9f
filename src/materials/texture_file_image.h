#pragma once
// A texture file turned into the BMP file image that travels in a record's texture
// buffer. Used when the file's path does not fit the record's path field: the renderer
// then gets the picture itself instead of a cut path that names no file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Largest texture file read, and largest picture decoded (pixels), for a path too long
// for the record: beyond these the material is sent without its texture.
constexpr size_t kMaxTextureFileBytes = size_t(256) << 20;
constexpr uint64_t kMaxTexturePixels = uint64_t(8192) * 8192;

// Decodes a PNG, JPEG, BMP or TGA file image and returns it as a top-down 32-bit BMP
// file image (BGRA rows). Empty when the bytes are not such an image, the picture is
// larger than kMaxTexturePixels or memory cannot be had. The bytes may be anything;
// any thread.
std::vector<uint8_t> TextureFileImage(const uint8_t* bytes, size_t size);

// Reads the file at path (UTF-16, platform separators) and converts it as above.
// Empty when it cannot be read or is larger than kMaxTextureFileBytes.
std::vector<uint8_t> ReadTextureFileImage(const std::u16string& path);
