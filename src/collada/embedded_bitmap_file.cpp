#include "embedded_bitmap_file.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "materials/material_manager.h"
#include "materials/texture_paths.h"
#include "platform/utf.h"

using namespace vantro::materials;

namespace vantro::collada {
namespace {

std::filesystem::path nativePath(const std::u16string& path) { return std::filesystem::path(platform::toUtf8(path)); }

bool writeWhole(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

}  // namespace

std::u16string ExportEmbeddedBitmap(const MaterialManager& manager, const MaterialInfo& info) {
    if (info.textureImage.empty() || manager.TextureFolderPath().empty())
        return {};
    std::error_code error;
    const std::filesystem::path folder = nativePath(manager.TextureFolderPath());
    if (!std::filesystem::is_directory(folder, error))
        std::filesystem::create_directories(folder, error);
    const std::u16string fileName = TextureCopyName(info.id, u"bmp");
    const std::filesystem::path file = folder / nativePath(fileName);
    if (!writeWhole(file, info.textureImage)) {
        std::filesystem::remove(file, error);
        return {};
    }
    return manager.TextureFolderName() + kPathSeparator + fileName;
}

}  // namespace vantro::collada
