#include "sdk/geometry/on_bitmap.h"

#include <cstdlib>

namespace {
constexpr size_t kMaxImageBytes = size_t(1) << 30;
}

size_t ON_Bitmap::SizeofScan() const {
    if (width_ <= 0 || bpp_ <= 0)
        return 0;
    return ((static_cast<size_t>(width_) * static_cast<size_t>(bpp_) + 31) / 32) * 4;
}

size_t ON_Bitmap::SizeofImage() const { return SizeofScan() * static_cast<size_t>(std::abs(height_)); }

bool ON_Bitmap::Create(int width, int height, int bitsPerPixel) {
    width_ = height_ = bpp_ = 0;
    bits_.clear();
    const bool depthOk = bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 16 ||
                         bitsPerPixel == 24 || bitsPerPixel == 32;
    if (width <= 0 || height == 0 || height == INT32_MIN || !depthOk)
        return false;
    const size_t scan = ((static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel) + 31) / 32) * 4;
    const size_t rows = static_cast<size_t>(std::abs(height));
    if (scan > kMaxImageBytes / rows)
        return false;
    width_ = width;
    height_ = height;
    bpp_ = bitsPerPixel;
    bits_.assign(scan * rows, 0);
    return true;
}

bool ON_Bitmap::SetBits(std::vector<uint8_t> bytes) {
    if (bits_.empty() || bytes.size() != SizeofImage())
        return false;
    bits_ = std::move(bytes);
    return true;
}

const unsigned char* ON_Bitmap::Bits(int scanIndex) const {
    if (scanIndex < 0 || scanIndex >= std::abs(height_) || bits_.empty())
        return nullptr;
    return bits_.data() + SizeofScan() * static_cast<size_t>(scanIndex);
}

unsigned char* ON_Bitmap::Bits(int scanIndex) {
    if (scanIndex < 0 || scanIndex >= std::abs(height_) || bits_.empty())
        return nullptr;
    return bits_.data() + SizeofScan() * static_cast<size_t>(scanIndex);
}
