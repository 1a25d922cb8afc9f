// The texture half of MaterialManager: reading a material's bitmap texture, sending
// it through the record (path or buffer) and copying texture files for an export.
#include <cstring>
#include <filesystem>
#include <system_error>

#include "link/live_connection.h"
#include "bmp_image.h"
#include "materials/material_manager.h"
#include "link/srfc_layout.h"
#include "texture_alias.h"
#include "materials/texture_paths.h"
#include "platform/utf.h"
#include "settings/file_helpers.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/app/rhino_file_utilities.h"

using namespace vantro::materials;

namespace fs = std::filesystem;
using VantroAPI::store;

namespace {

constexpr uint32_t kLastWriteTime = 2;

fs::path fsPath(std::u16string_view path) { return fs::path(vantro::platform::toUtf8(path)); }

TextureTransform transformOf(const ON_Xform& xform) {
    TextureTransform t;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            t[size_t(row * 4 + column)] = xform.m_xform[row][column];
    return t;
}

}  // namespace

void MaterialManager::ClearTexture(MaterialInfo& info) {
    if (info.id == 0 || info.id == -1)
        return;
    info.texturePath.clear();
    std::vector<uint8_t>().swap(info.textureImage);
    info.textureStamp = 0;
    info.textureTransform = kIdentityTransform;
    info.textureChanged = true;
}

bool MaterialManager::ReadTexture(MaterialInfo& info, const ON_Material& material) {
    ClearTexture(info);
    const int index = material.FindTexture(nullptr, ON_Texture::bitmap_texture, -1);
    const ON_Texture* texture = material.m_textures.At(index);
    if (!texture || !texture->m_bOn)
        return false;
    if (texture->m_image_file_reference.IsSet())
        return ReadFileTexture(info, *texture);

    const ON_Bitmap* bitmap = TextureBitmap(material, *texture);
    if (!bitmap)
        return false;
    BmpSource source;
    source.width = bitmap->Width();
    source.height = bitmap->Height();
    source.bitsPerPixel = uint16_t(bitmap->BitsPerPixel());
    source.scanSize = uint32_t(bitmap->SizeofScan());
    source.imageSize = uint32_t(bitmap->SizeofImage());
    source.row = [bitmap](uint32_t row) { return bitmap->Bits(int(row)); };
    if (bitmap->SizeofScan() > UINT32_MAX || bitmap->SizeofImage() > UINT32_MAX)
        source.scanSize = 0;  // refused by BuildBmpImage
    info.textureImage = BuildBmpImage(source);
    info.textureChanged = true;
    info.textureStamp = ++textureCounter_;
    return info.HasTexture();
}

bool MaterialManager::ReadFileTexture(MaterialInfo& info, const ON_Texture& texture) {
    const ON_FileReference& reference = texture.m_image_file_reference;
    std::u16string path = NativeSeparators(reference.FullPath().view());
    if (!FileExists(path)) {
        ON_wString found;
        if (doc_ && CRhinoFileUtilities::FindFile(doc_->RuntimeSerialNumber(), reference, found))
            path = NativeSeparators(found.view());
        else
            path.clear();
    }
    if (!path.empty()) {
        info.textureStamp = GetFileTimeValue(path, kLastWriteTime);
        info.textureTransform = transformOf(texture.m_uvw);
        info.textureChannel = texture.m_mapping_channel_id;
    }
    // The export copies the file by its own path; only the link needs a short one.
    if (link_ && path.size() > srfc::kTexturePath.units)
        path = ShortTextureAlias(path, srfc::kTexturePath.units);
    info.texturePath = path;
    if (path.empty())
        info.textureStamp = 0;
    return info.HasTexture();
}

const ON_Bitmap* MaterialManager::TextureBitmap(const ON_Material& material, const ON_Texture& texture) const {
    if (const auto* rhinoMaterial = dynamic_cast<const CRhinoMaterial*>(&material))
        return rhinoMaterial->TextureBitmap(ON_Texture::bitmap_texture);
    // A material outside the document's table (the application's default) finds its
    // image in the document's bitmap table the same way.
    if (!doc_)
        return nullptr;
    return doc_->m_bitmap_table.Bitmap(doc_->m_bitmap_table.FindBitmapFromId(texture.m_texture_id));
}

void MaterialManager::ReleaseTextureBuffer(MaterialInfo& info) {
    if (info.textureBuffer != 0)
        releasedBuffers_.insert(info.textureBuffer);
    info.textureBuffer = 0;
    info.textureCapacity = 0;
}

void MaterialManager::WriteTexture(MaterialInfo& info, std::byte* record) {
    if (info.textureImage.empty()) {
        const bool fits = info.texturePath.size() <= srfc::kTexturePath.units;
        srfc::storeFixedText(record, srfc::kTexturePath, fits ? std::u16string_view(info.texturePath) : u"");
        ReleaseTextureBuffer(info);
    } else {
        srfc::storeFixedText(record, srfc::kTexturePath, u"");
        const uint32_t size = info.TextureImageSize();
        if (info.textureBuffer == 0 || info.textureCapacity < size) {
            ReleaseTextureBuffer(info);
            const uint32_t recordId = VantroAPI::load(record, VantroAPI::record::kId);
            info.textureBuffer = link_->CreateBuffer(recordId, size);
            info.textureCapacity = info.textureBuffer != 0 ? size : 0;
        }
        void* memory = info.textureBuffer != 0 ? link_->MapBuffer(info.textureBuffer) : nullptr;
        if (memory && link_->MappedBufferSize(info.textureBuffer) >= size)
            std::memcpy(memory, info.textureImage.data(), size);
        else
            ReleaseTextureBuffer(info);  // the record then shows no texture
    }
    store(record, srfc::kTextureBuffer, info.textureBuffer);
    store(record, srfc::kTextureCapacity, info.textureCapacity);
}

void MaterialManager::SetTextureFolder(const std::u16string& path) {
    std::u16string source = path;
    if (source.empty()) {
        CRhinoDoc* active = RhinoApp().ActiveDoc();
        if (!active)
            active = doc_;
        if (active)
            source = active->GetPathName().str();
    }
    if (source.empty()) {
        folderName_.clear();
        folderPath_.clear();
        return;
    }
    TextureFolder folder = TextureFolderFor(source);
    folderName_ = std::move(folder.name);
    folderPath_ = std::move(folder.path);
}

std::u16string MaterialManager::ExportTextureFile(MaterialInfo* info) {
    if (!info || !info->HasTexture())
        return {};
    if (folderPath_.empty())
        SetTextureFolder(u"");
    if (folderPath_.empty())
        return {};
    std::error_code error;
    const fs::path folder = fsPath(folderPath_);
    if (!fs::exists(folder, error))
        fs::create_directory(folder, error);  // a failure shows in the copy below
    if (info->texturePath.empty())
        return {};  // an embedded bitmap is never written as a file
    if (!FileExists(info->texturePath)) {
        info->texturePath.clear();
        return {};
    }
    const std::u16string fileName = TextureCopyName(info->id, ExtensionOf(info->texturePath));
    const std::u16string target = folderPath_ + kPathSeparator + fileName;
    const fs::path from = fsPath(info->texturePath);
    const fs::path to = fsPath(target);
    bool copied = false;
    if (fs::exists(to, error) && fs::equivalent(from, to, error))
        copied = true;  // exported before from the copy itself
    else
        copied = fs::copy_file(from, to, fs::copy_options::overwrite_existing, error) && !error;
    if (!copied) {
        info->texturePath.clear();
        return {};
    }
    info->texturePath = target;
    return folderName_ + kPathSeparator + fileName;
}
