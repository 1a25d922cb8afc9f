#pragma once
// ON_Bitmap: an uncompressed device-independent bitmap, as a document embeds it:
// width, signed height (negative: rows stored top-down), bits per pixel and the
// pixel rows, each padded to a multiple of four bytes.
//
// Thread-safety: a value type; const functions may run concurrently.

#include <cstdint>
#include <vector>

#include "sdk/geometry/on_file_reference.h"
#include "sdk/document/on_model_component.h"

class ON_Bitmap : public ON_ModelComponent {
public:
    // Allocates zeroed rows. width > 0, height != 0, bitsPerPixel one of 1, 4, 8, 16,
    // 24, 32; false (bitmap emptied) otherwise or when the size would exceed 1 GiB.
    bool Create(int width, int height, int bitsPerPixel);
    // Replaces the pixel bytes; false (unchanged) unless bytes.size() == SizeofImage().
    bool SetBits(std::vector<uint8_t> bytes);

    int Width() const { return width_; }
    int Height() const { return height_; }  // signed, as stored
    int BitsPerPixel() const { return bpp_; }
    size_t SizeofScan() const;   // bytes per row, multiple of 4
    size_t SizeofImage() const;  // SizeofScan() * |Height()|
    // Row scanIndex in [0, |Height()|); null outside.
    const unsigned char* Bits(int scanIndex) const;
    unsigned char* Bits(int scanIndex);
    bool IsEmpty() const { return bits_.empty(); }

    // Where the image came from, when known.
    ON_FileReference m_file_reference;

private:
    int width_ = 0;
    int height_ = 0;
    int bpp_ = 0;
    std::vector<uint8_t> bits_;
};
