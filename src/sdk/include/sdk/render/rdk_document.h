#pragma once
// CRhRdkDocument: the render contents of a document, found by instance id. A
// material refers to its content through ON_Material::RdkMaterialInstanceId.
// Readers add the contents a file carries.
// Thread-safety: main thread only.

#include <memory>
#include <vector>

#include "sdk/render/rdk_content.h"

class CRhinoDoc;

class CRhRdkDocument {
public:
    CRhRdkDocument() = default;
    CRhRdkDocument(const CRhRdkDocument&) = delete;
    CRhRdkDocument& operator=(const CRhRdkDocument&) = delete;

    // The RDK document of doc.
    static CRhRdkDocument& Get(CRhinoDoc& doc);
    static const CRhRdkDocument& Get(const CRhinoDoc& doc);

    // The content with that instance id; null when there is none (or id is nil).
    const CRhRdkContent* FindContentInstance(const ON_UUID& instanceId) const;
    // Adds a content; false (nothing added) for a nil or already used instance id.
    bool AddContent(std::unique_ptr<CRhRdkContent> content);
    // Shorthand for a content of a given type.
    bool AddContent(const ON_UUID& instanceId, const ON_UUID& typeId, const ON_wString& name);
    int ContentCount() const { return static_cast<int>(contents_.size()); }
    // Content index in [0, ContentCount()); null outside.
    const CRhRdkContent* Content(int index) const;

private:
    std::vector<std::unique_ptr<CRhRdkContent>> contents_;
};
