#include "sdk/render/rdk_document.h"

#include "sdk/document/rhino_doc.h"

CRhRdkDocument& CRhRdkDocument::Get(CRhinoDoc& doc) { return doc.RdkDocument(); }
const CRhRdkDocument& CRhRdkDocument::Get(const CRhinoDoc& doc) { return doc.RdkDocument(); }

const CRhRdkContent* CRhRdkDocument::FindContentInstance(const ON_UUID& instanceId) const {
    if (ON_UuidIsNil(instanceId))
        return nullptr;
    for (const auto& content : contents_)
        if (content->InstanceId() == instanceId)
            return content.get();
    return nullptr;
}

bool CRhRdkDocument::AddContent(std::unique_ptr<CRhRdkContent> content) {
    if (!content || ON_UuidIsNil(content->InstanceId()) || FindContentInstance(content->InstanceId()))
        return false;
    contents_.push_back(std::move(content));
    return true;
}

bool CRhRdkDocument::AddContent(const ON_UUID& instanceId, const ON_UUID& typeId, const ON_wString& name) {
    return AddContent(std::make_unique<CRhRdkContent>(instanceId, typeId, name));
}

const CRhRdkContent* CRhRdkDocument::Content(int index) const {
    if (index < 0 || index >= ContentCount())
        return nullptr;
    return contents_[static_cast<size_t>(index)].get();
}
