#pragma once
// ON_ModelComponent: the identity every table entry carries (materials, layers,
// texture mappings, instance definitions, bitmaps): id, index, name, deleted state and
// a runtime serial number.
//
// Runtime serial numbers are process-wide, start at 1 and are never reused. Each
// constructed component gets a new one, copies included; assignment copies everything
// except the serial number, so a table entry keeps its serial number while its
// content is modified. Serial numbers are taken atomically (any thread may construct
// components); one component object is not thread-safe.

#include <cstdint>

#include "sdk/geometry/on_string.h"
#include "sdk/geometry/on_uuid.h"

class ON_ModelComponent {
public:
    ON_ModelComponent();
    ON_ModelComponent(const ON_ModelComponent& other);
    ON_ModelComponent& operator=(const ON_ModelComponent& other);
    virtual ~ON_ModelComponent() = default;

    uint64_t RuntimeSerialNumber() const { return serial_; }

    const ON_UUID& Id() const { return id_; }
    void SetId(const ON_UUID& id) { id_ = id; }
    void SetId() { id_ = ON_CreateUuid(); }  // a new random id
    bool IdIsNil() const { return ON_UuidIsNil(id_); }

    // Index in the owning table; -1 for a component outside any table.
    int Index() const { return index_; }
    void SetIndex(int index) { index_ = index; }

    const ON_wString& Name() const { return name_; }
    void SetName(const ON_wString& name) { name_ = name; }

    bool IsDeleted() const { return deleted_; }
    void SetDeletedModelComponentState(bool deleted) { deleted_ = deleted; }

private:
    uint64_t serial_;
    ON_UUID id_;
    int index_ = -1;
    ON_wString name_;
    bool deleted_ = false;
};
