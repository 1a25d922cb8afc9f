#pragma once
// CRhinoMaterial / CRhinoMaterialTable: the document's render materials.
//
// Entries are never removed: a deleted material keeps its index and serial number.
// References to entries stay valid for the document's life. Every change raises
// CRhinoEventWatcher::MaterialTableEvent with the index and, for modified and deleted
// materials, a copy of the old value.
// Thread-safety: main thread only.

#include <memory>
#include <unordered_map>
#include <vector>

#include "sdk/document/on_material.h"
#include "sdk/geometry/on_uuid.h"

class CRhinoDoc;
class ON_Bitmap;

class CRhinoMaterial : public ON_Material {
public:
    // The embedded image of the material's first texture of `type`: the entry of the
    // document's bitmap table whose id equals the texture's m_texture_id, or else,
    // when the texture's file reference is set, whose file reference has the same
    // full path (ASCII case folded, '/' and '\' equal). Null when there is none.
    const ON_Bitmap* TextureBitmap(ON_Texture::TYPE type = ON_Texture::bitmap_texture) const;
    // The owning document; null only for the default material of objects and layers
    // in no document.
    CRhinoDoc* Document() const { return doc_; }

private:
    friend class CRhinoMaterialTable;
    friend class CRhinoDoc;
    friend class CRhinoObject;
    friend class CRhinoLayer;
    explicit CRhinoMaterial(CRhinoDoc* doc) : doc_(doc) {}
    CRhinoDoc* doc_;
};

class CRhinoMaterialTable {
public:
    explicit CRhinoMaterialTable(CRhinoDoc& doc);
    CRhinoMaterialTable(const CRhinoMaterialTable&) = delete;
    CRhinoMaterialTable& operator=(const CRhinoMaterialTable&) = delete;
    ~CRhinoMaterialTable();

    int MaterialCount() const { return static_cast<int>(materials_.size()); }
    bool IsValidMaterialTableIndex(int index) const { return index >= 0 && index < MaterialCount(); }
    // The entry at index; any other index gives the document's default material
    // (index -1, the application's default material settings).
    const CRhinoMaterial& operator[](int index) const;
    // The document's default material (index -1): the application's default material
    // (CRhinoAppSettings::DefaultMaterial) as it is now, with a serial number of its own
    // that stays the same for the document's life.
    const CRhinoMaterial& DefaultMaterial() const;

    int FindMaterialFromId(const ON_UUID& id, bool ignoreDeleted = true) const;

    // Adds a copy (new id when nil or duplicate) and returns its index; -1 when the
    // material is not valid (ON_Material::IsValid). Raises material_added.
    int AddMaterial(const ON_Material& material);
    // Replaces the content of an undeleted entry (index, id and serial kept). False
    // for an invalid or deleted index or an invalid material. Raises material_modified
    // with the old value.
    bool ModifyMaterial(const ON_Material& material, int index, bool quiet = false);
    // Raises material_deleted with the old value. Objects and layers that use the
    // material keep their indices.
    bool DeleteMaterial(int index);
    bool UndeleteMaterial(int index);  // raises material_undeleted

    CRhinoDoc& Document() const { return *doc_; }

private:
    CRhinoDoc* doc_;
    std::vector<std::unique_ptr<CRhinoMaterial>> materials_;
    std::unordered_map<ON_UUID, int, ON_UuidHash> indexById_;  // every entry, deleted ones included
    std::unique_ptr<CRhinoMaterial> default_;
};
