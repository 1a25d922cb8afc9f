#pragma once
// CRhRdkContent: a render content (material, environment, texture) of the RDK: an
// instance id, a type id telling what kind of content it is, a name, and a render CRC
// that changes whenever anything that affects rendering changes.
//
// CRhRdkMaterial is a content made from an ON_Material (the "basic material").
// RhRdkNewBasicMaterial returns a new one that the caller deletes. Its render CRC is a
// CRC-32 of the rendering properties of the material: colours, shine, transparency,
// reflectivity, index of refraction and every texture (type, on flag, mode, file
// paths, mapping channel, UVW transform). Name, id, index and serial number do not
// take part, so two materials that render alike have the same CRC.
// Thread-safety: value types; RenderCRC may run on any thread.

#include <memory>

#include "sdk/document/on_material.h"
#include "sdk/geometry/on_string.h"
#include "sdk/geometry/on_uuid.h"

class CRhinoDoc;

class CRhRdkContent {
public:
    class CRenderCRCFlags {
    public:
        explicit CRenderCRCFlags(unsigned int flags) : flags_(flags) {}
        unsigned int Flags() const { return flags_; }

    private:
        unsigned int flags_;
    };

    CRhRdkContent(const ON_UUID& instanceId, const ON_UUID& typeId, const ON_wString& name);
    virtual ~CRhRdkContent() = default;

    const ON_UUID& InstanceId() const { return instanceId_; }
    const ON_UUID& TypeId() const { return typeId_; }
    const ON_wString& InstanceName() const { return name_; }

    // A checksum of what affects rendering; flags are accepted for the SDK's signature.
    virtual unsigned int RenderCRC(const CRenderCRCFlags& flags) const;
    // A copy with the same instance id.
    virtual std::unique_ptr<CRhRdkContent> Clone() const;

private:
    ON_UUID instanceId_;
    ON_UUID typeId_;
    ON_wString name_;
};

class CRhRdkMaterial : public CRhRdkContent {
public:
    // The type id of basic materials.
    static const ON_UUID BasicMaterialTypeId;

    CRhRdkMaterial(const ON_UUID& instanceId, const ON_UUID& typeId, const ON_Material& material);

    unsigned int RenderCRC(const CRenderCRCFlags& flags) const override;
    std::unique_ptr<CRhRdkContent> Clone() const override;

private:
    ON_Material material_;
};

// A new basic material content made from material (a new instance id). The caller owns
// and deletes it. doc may be null; it is accepted for the SDK's signature.
CRhRdkMaterial* RhRdkNewBasicMaterial(const ON_Material& material, const CRhinoDoc* doc = nullptr);
