#include "sdk/document/rhino_material_table.h"

#include "sdk/geometry/on_bitmap.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_event_watcher.h"
#include "sdk_internal.h"

const ON_Bitmap* CRhinoMaterial::TextureBitmap(ON_Texture::TYPE type) const {
    if (!doc_)
        return nullptr;
    const int t = FindTexture(nullptr, type, -1);
    if (t < 0)
        return nullptr;
    const ON_Texture& texture = m_textures[t];
    const CRhinoBitmapTable& bitmaps = doc_->m_bitmap_table;
    int index = ON_UuidIsNil(texture.m_texture_id) ? -1 : bitmaps.FindBitmapFromId(texture.m_texture_id);
    if (index < 0 && texture.m_image_file_reference.FullPath().IsNotEmpty())
        index = bitmaps.FindBitmapFromPath(texture.m_image_file_reference.FullPath());
    return bitmaps.Bitmap(index);
}

CRhinoMaterialTable::CRhinoMaterialTable(CRhinoDoc& doc) : doc_(&doc), default_(new CRhinoMaterial(&doc)) {}

CRhinoMaterialTable::~CRhinoMaterialTable() = default;

const CRhinoMaterial& CRhinoMaterialTable::operator[](int index) const {
    if (IsValidMaterialTableIndex(index))
        return *materials_[static_cast<size_t>(index)];
    return DefaultMaterial();
}

const CRhinoMaterial& CRhinoMaterialTable::DefaultMaterial() const {
    // Follows the application setting; assignment keeps the entry's serial number.
    static_cast<ON_Material&>(*default_) = RhinoApp().AppSettings().DefaultMaterial();
    default_->SetIndex(-1);
    return *default_;
}

int CRhinoMaterialTable::FindMaterialFromId(const ON_UUID& id, bool ignoreDeleted) const {
    if (ON_UuidIsNil(id))
        return -1;
    // An index rather than a pass: reading a document adds every material through
    // AddMaterial, which asks here for each one. Ids are unique over the whole table
    // and never change once added, so one entry per id is the whole answer.
    const auto found = indexById_.find(id);
    if (found == indexById_.end() || (ignoreDeleted && materials_[static_cast<size_t>(found->second)]->IsDeleted()))
        return -1;
    return found->second;
}

int CRhinoMaterialTable::AddMaterial(const ON_Material& material) {
    const int index = MaterialCount();
    if (!material.IsValid()) {
        doc_->fail(false, ON_wString::FormatToString(u"Material \"%ls\" is not valid.\n", material.Name().Array()));
        return -1;
    }
    std::unique_ptr<CRhinoMaterial> entry(new CRhinoMaterial(doc_));
    static_cast<ON_Material&>(*entry) = material;
    entry->SetIndex(index);
    entry->SetDeletedModelComponentState(false);
    if (entry->IdIsNil() || FindMaterialFromId(entry->Id(), false) >= 0)
        entry->SetId();
    indexById_.emplace(entry->Id(), index);
    materials_.push_back(std::move(entry));
    doc_->raise([&](CRhinoEventWatcher& w) {
        w.MaterialTableEvent(CRhinoEventWatcher::material_added, *this, index, nullptr);
    });
    return index;
}

bool CRhinoMaterialTable::ModifyMaterial(const ON_Material& material, int index, bool quiet) {
    if (!IsValidMaterialTableIndex(index) || (*this)[index].IsDeleted()) {
        doc_->fail(quiet, ON_wString::FormatToString(u"Material %d: no such material.\n", index));
        return false;
    }
    if (!material.IsValid()) {
        doc_->fail(quiet, ON_wString::FormatToString(u"Material %d: the new settings are not valid.\n", index));
        return false;
    }
    CRhinoMaterial& entry = *materials_[static_cast<size_t>(index)];
    const ON_Material old = entry;
    static_cast<ON_Material&>(entry) = material;
    entry.SetIndex(index);
    entry.SetId(old.Id());
    entry.SetDeletedModelComponentState(false);
    doc_->raise([&](CRhinoEventWatcher& w) {
        w.MaterialTableEvent(CRhinoEventWatcher::material_modified, *this, index, &old);
    });
    return true;
}

bool CRhinoMaterialTable::DeleteMaterial(int index) {
    if (!IsValidMaterialTableIndex(index) || (*this)[index].IsDeleted())
        return false;
    CRhinoMaterial& entry = *materials_[static_cast<size_t>(index)];
    entry.SetDeletedModelComponentState(true);
    doc_->raise([&](CRhinoEventWatcher& w) {
        w.MaterialTableEvent(CRhinoEventWatcher::material_deleted, *this, index, &entry);
    });
    return true;
}

bool CRhinoMaterialTable::UndeleteMaterial(int index) {
    if (!IsValidMaterialTableIndex(index) || !(*this)[index].IsDeleted())
        return false;
    materials_[static_cast<size_t>(index)]->SetDeletedModelComponentState(false);
    doc_->raise([&](CRhinoEventWatcher& w) {
        w.MaterialTableEvent(CRhinoEventWatcher::material_undeleted, *this, index, nullptr);
    });
    return true;
}
