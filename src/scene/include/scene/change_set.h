#pragma once
// ChangeSet: the document edits recorded since the last idle pass, as runtime serial
// numbers. Objects are keyed by CRhinoObject::RuntimeSerialNumber; materials, layers
// and texture mappings by the table entry's ON_ModelComponent::RuntimeSerialNumber
// (kInvalidSerial when the event named an index that is not valid).
//
// Hooks arrive many times per command; each records one number in a hash set, so
// repeated events for one entry collapse into one. The plug-in object owns one
// ChangeSet while edits are pending (VeloraPlugin::EnsureChangeSet) and applies it
// when the host is idle (VeloraPlugin::ProcessChanges).
// Main thread only.

#include <cstdint>
#include <unordered_set>

class ChangeSet {
public:
    using Serials = std::unordered_set<uint64_t>;
    static constexpr uint64_t kInvalidSerial = ~uint64_t(0);

    // The object leaves the added and modified sets: an object added and deleted
    // before idle is only deleted, and nothing is added for it.
    void MarkObjectDeleted(uint64_t serial);
    // Every set empty.
    bool Empty() const;

    Serials addedObjects, modifiedObjects, deletedObjects;
    Serials addedMaterials, modifiedMaterials, deletedMaterials;
    Serials addedLayers, modifiedLayers, deletedLayers;
    Serials addedMappings, modifiedMappings, deletedMappings;
};
