#pragma once
// Embedded bitmaps as image files of the export. A material whose texture is a bitmap
// embedded in the document holds it only in memory (a whole BMP file image); texture
// file copies cover files alone. So that the document never refers to an image it does
// not define, the export writes such a bitmap into the texture folder beside the copies.

#include <string>

class MaterialManager;
struct MaterialInfo;

namespace vantro::collada {

// Writes info's in-memory BMP image into manager's texture folder as
// "<id as at least four hex digits>.bmp", replacing an older file, and returns its path
// relative to the exported file ("<folder name><separator><file name>"). Empty when
// info holds no image, the manager has no texture folder, or the file cannot be
// written (a partly written file is removed). Creates the folder when it is missing.
// Main thread.
std::u16string ExportEmbeddedBitmap(const MaterialManager& manager, const MaterialInfo& info);

}  // namespace vantro::collada
