#include "sdk/document/rhino_bitmap_table.h"

#include "sdk_internal.h"

const ON_Bitmap* CRhinoBitmapTable::Bitmap(int index) const {
    if (index < 0 || index >= BitmapCount())
        return nullptr;
    return bitmaps_[static_cast<size_t>(index)].get();
}

int CRhinoBitmapTable::AddBitmap(const ON_Bitmap& bitmap) {
    if (bitmap.IsEmpty())
        return -1;
    auto entry = std::make_unique<ON_Bitmap>(bitmap);
    entry->SetIndex(BitmapCount());
    if (entry->IdIsNil() || FindBitmapFromId(entry->Id()) >= 0)
        entry->SetId();
    indexById_.emplace(entry->Id(), BitmapCount());
    bitmaps_.push_back(std::move(entry));
    return BitmapCount() - 1;
}

bool CRhinoBitmapTable::ReplaceBitmap(int index, const ON_Bitmap& bitmap) {
    if (index < 0 || index >= BitmapCount() || bitmap.IsEmpty())
        return false;
    ON_Bitmap& entry = *bitmaps_[static_cast<size_t>(index)];
    const ON_UUID id = entry.Id();
    entry = bitmap;
    entry.SetIndex(index);
    entry.SetId(id);
    return true;
}

int CRhinoBitmapTable::FindBitmapFromId(const ON_UUID& id) const {
    if (ON_UuidIsNil(id))
        return -1;
    // As the layer table: an index of ids that never change once added.
    const auto found = indexById_.find(id);
    return found == indexById_.end() ? -1 : found->second;
}

int CRhinoBitmapTable::FindBitmapFromPath(const ON_wString& fullPath) const {
    if (fullPath.IsEmpty())
        return -1;
    for (int i = 0; i < BitmapCount(); ++i)
        if (vantro::sdk::samePath(bitmaps_[static_cast<size_t>(i)]->m_file_reference.FullPath(), fullPath))
            return i;
    return -1;
}
