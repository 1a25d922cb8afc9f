#pragma once
// MaterialManager: mirrors a document's material table as MaterialInfo records and
// writes each into its "SRFC" record of the live link (the material half; the scene
// writes the geometry half). Materials with the same name key and render CRC (which
// covers an embedded texture image) share one record; a record lives until the next LoadMaterials or Clear even when no
// material refers to it any more, so a deleted material keeps its record in the link.
//
// One manager serves the live link (link set) and one serves each COLLADA export
// (link null: nothing is ever sent).
//
// Threads and locks: LoadMaterials, Clear, Add/Update/RemoveMaterial, the Find
// functions and the texture reading/export run on the main thread; SendPending and
// SendMaterial run on the sync worker. Callers on both sides hold the scene's
// exclusive access, which is the lock for all state here; the worker also holds the
// link lock while sending. releasedBuffers_ is a concurrent set so that inserting a
// buffer id needs nothing more.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <tbb/concurrent_unordered_set.h>

#include "materials/material_info.h"
#include "materials/material_names.h"
#include "sdk/geometry/on_uuid.h"

namespace VantroAPI {
class LiveConnection;
}
class CRhinoDoc;
class ON_Bitmap;
class ON_Material;
class ON_Texture;

// FNV-1a 64 over the UTF-16LE bytes of the material's raw name, or of its UUID text
// when the name is empty. 0 for null.
uint64_t MaterialNameKey(const ON_Material* material);
// Low 32 bits: the low 32 bits of the render CRC of a basic RDK material made from
// material. High 32 bits: a hash of the embedded bitmap its texture shows (0 without
// one), because the RDK's CRC sees a texture's file name but not an embedded image's
// pixels, and materials that look different must not share a record. 0 for null.
uint64_t MaterialRenderCrc(const ON_Material* material);
// "Material-<name>" with punctuation replaced, or the UUID text for an unnamed
// material (see DisplayNameOfText). Empty for null.
std::u16string MaterialDisplayName(const ON_Material* material);

class MaterialManager {
public:
    // link may be null (export). Starts with the default material (id -1) only.
    explicit MaterialManager(VantroAPI::LiveConnection* link);
    ~MaterialManager();
    MaterialManager(const MaterialManager&) = delete;
    MaterialManager& operator=(const MaterialManager&) = delete;

    // Rebuilds everything from doc's material table: clears, translates the
    // application's default material, then adds every valid, undeleted material in
    // index order (used or not), showing status-bar progress. Every record ends up
    // pending. A null doc just clears.
    void LoadMaterials(CRhinoDoc* doc);
    // Deletes every record (their link records are left as they are), forgets the
    // default material's record and the document. Sends nothing.
    void Clear();

    // The record for material: an existing one with the same keys, else a new one
    // (translated, texture read). Maps the material's serial to it and makes it
    // pending. Null for a null material.
    MaterialInfo* AddMaterial(const ON_Material* material);
    // Same for the material of the document's table with that runtime serial number
    // (null when there is none).
    MaterialInfo* AddMaterial(uint64_t serial);
    // After material was modified: re-maps its serial to the record with its new keys,
    // re-translating its old record in place when no record has them (other serials
    // sharing that record follow). Behaves as AddMaterial for an unknown serial. Null
    // for a null material.
    MaterialInfo* UpdateMaterial(const ON_Material* material);
    MaterialInfo* UpdateMaterial(uint64_t serial);
    // A deleted material keeps its record: always true, nothing changes.
    bool RemoveMaterial(uint64_t serial);

    // The record of the material at a valid table index whose serial is known, else
    // the default material.
    MaterialInfo& FindByIndex(int index);
    // The record with that id, else the default material.
    MaterialInfo& FindById(int64_t id);
    // The record with both keys; else the default material when fallback, else null.
    MaterialInfo* FindByKeys(uint64_t nameKey, uint64_t renderCrc, bool fallback);

    MaterialInfo& DefaultMaterial() { return *default_; }
    // Every record except the default material, in id order (a stable order for the
    // export). Pointers stay valid until Clear/LoadMaterials.
    std::vector<MaterialInfo*> Materials() const;
    size_t MaterialCount() const;
    CRhinoDoc* Document() const { return doc_; }

    bool HasPending() const;
    // Worker thread, under the link lock: writes every pending record (in id order),
    // destroys the buffers released since the last call, raises the header's changed
    // flag. Nothing when nothing is pending or there is no link.
    void SendPending();
    // Writes info's "SRFC" record, creating it on first use. Nothing for null, no link
    // or id 0; when no record slot is free the material is not sent this time.
    void SendMaterial(MaterialInfo* info);

    // --- textures ---

    // Reads material's first bitmap texture into info: a file (path with platform
    // separators, found again through the document's file search when it moved; its
    // last-write stamp, UVW transform and mapping channel) or an embedded bitmap (BMP
    // image, stamp from the manager's counter). With a link, a path too long for the
    // record's path field is replaced by a short alias of the same file
    // (ShortTextureAlias); no alias, no texture. True when info ends up with a path
    // or an image.
    bool ReadTexture(MaterialInfo& info, const ON_Material& material);
    // Drops info's texture and marks it changed; nothing for ids 0 and -1.
    void ClearTexture(MaterialInfo& info);
    // Sets the folder for texture copies from path (a .dae or document path), or from
    // the active document's path when path is empty. A path that gives no folder (an
    // unsaved document) leaves the folder unset.
    void SetTextureFolder(const std::u16string& path);
    // Copies info's texture file into the texture folder as "<id hex>.<extension>"
    // (creating the folder, replacing an older copy) and returns the copy's path
    // relative to the exported file ("<base>_Textures/<name>"). Empty for null info,
    // no texture, an embedded bitmap (never written as a file), a file that no longer
    // exists or a failed copy; in the last two cases info loses its texture path.
    std::u16string ExportTextureFile(MaterialInfo* info);
    const std::u16string& TextureFolderName() const { return folderName_; }
    const std::u16string& TextureFolderPath() const { return folderPath_; }

private:
    // The records and the tables that find them; defined with the implementation, so
    // that the tables' library stays out of this header.
    struct Tables;

    // AddMaterial with the material's keys computed already; known when a look-up
    // found them in the key table since.
    MaterialInfo* AddMaterial(const ON_Material* material, uint64_t nameKey, uint64_t renderCrc, bool known);
    bool TranslateMaterial(MaterialInfo* info, const ON_Material* material);
    void MakeNameUnique(MaterialInfo& info, const std::u16string& base);
    void ReadOrClearTexture(MaterialInfo& info, const ON_Material& material);
    // Clear for a load of expected materials; keeps the memory of a last load of at
    // most kKeptMemoryFactor times as many.
    void ClearFor(size_t expected);
    // What Clear forgets besides the records: the default's link record, buffer ids,
    // the document.
    void ForgetLinkState();
    const ON_Material* FindMaterialBySerial(uint64_t serial) const;
    const ON_Bitmap* TextureBitmap(const ON_Material& material, const ON_Texture& texture) const;
    bool ReadFileTexture(MaterialInfo& info, const ON_Texture& texture);
    void WriteTexture(MaterialInfo& info, std::byte* record);
    void ReleaseTextureBuffer(MaterialInfo& info);

    VantroAPI::LiveConnection* const link_;
    CRhinoDoc* doc_ = nullptr;
    const ON_UUID glassTypeId_;
    std::unique_ptr<MaterialInfo> default_;

    static constexpr size_t kKeptMemoryFactor = 4;
    std::unique_ptr<Tables> tables_;
    vantro::materials::UniqueNames names_;  // display names of the records

    uint64_t textureCounter_ = 0;  // never reset
    tbb::concurrent_unordered_set<uint32_t> releasedBuffers_;
    std::u16string folderName_;
    std::u16string folderPath_;
};
