#pragma once
// CRhinoBitmapTable: the images a document embeds (textures whose files travel inside
// the document). Entries are added by readers; there are no events for them.
// Thread-safety: main thread only.

#include <memory>
#include <unordered_map>
#include <vector>

#include "sdk/geometry/on_bitmap.h"
#include "sdk/geometry/on_uuid.h"

class CRhinoDoc;

class CRhinoBitmapTable {
public:
    explicit CRhinoBitmapTable(CRhinoDoc& doc) : doc_(&doc) {}
    CRhinoBitmapTable(const CRhinoBitmapTable&) = delete;
    CRhinoBitmapTable& operator=(const CRhinoBitmapTable&) = delete;

    int BitmapCount() const { return static_cast<int>(bitmaps_.size()); }
    // Null for an index out of range.
    const ON_Bitmap* Bitmap(int index) const;
    // Adds a copy (a nil or duplicate id is replaced) and returns its index; -1 for an
    // empty bitmap.
    int AddBitmap(const ON_Bitmap& bitmap);
    // Replaces the image of the entry at index (its index and id stay); false for an
    // index out of range or an empty bitmap. No event: the caller announces the change
    // through the materials that show the image (CRhinoMaterialTable::ModifyMaterial).
    bool ReplaceBitmap(int index, const ON_Bitmap& bitmap);
    int FindBitmapFromId(const ON_UUID& id) const;
    // First bitmap whose file reference has this full path (ASCII case folded, '/' and
    // '\' equal); -1.
    int FindBitmapFromPath(const ON_wString& fullPath) const;

    CRhinoDoc& Document() const { return *doc_; }

private:
    CRhinoDoc* doc_;
    std::vector<std::unique_ptr<ON_Bitmap>> bitmaps_;
    std::unordered_map<ON_UUID, int, ON_UuidHash> indexById_;  // every entry, deleted ones included
};
