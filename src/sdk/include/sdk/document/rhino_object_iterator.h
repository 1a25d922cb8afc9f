#pragma once
// CRhinoObjectIterator: walks a document's objects in the order they were added,
// filtered by state, category and (optionally) visibility.
//
// States are bits: normal (mode normal), locked, hidden (mode hidden) objects of the
// model; instance-definition geometry only with idef_objects; deleted objects only
// with deleted_objects. Categories: active (not reference) and reference objects.
// The visible filter keeps objects whose IsVisible() is true (so objects on hidden
// layers go).
// The iterator works on a snapshot taken by First(): objects added later are not
// seen; objects must not be purged while an iteration runs.
// Thread-safety: main thread only.

#include <cstddef>
#include <vector>

class CRhinoDoc;
class CRhinoObject;

class CRhinoObjectIterator {
public:
    enum object_state : unsigned int {
        normal_objects = 1,
        locked_objects = 2,
        hidden_objects = 4,
        idef_objects = 8,
        deleted_objects = 16,
        normal_or_locked_objects = 3,
        undeleted_objects = 7,
        all_objects = 0xFFFFFFFF,
    };
    enum object_category : unsigned int {
        active_objects = 1,
        reference_objects = 2,
        active_and_reference_objects = 3,
    };

    // A document serial number that names no document gives an empty iteration.
    explicit CRhinoObjectIterator(unsigned int docSerial, object_state state = normal_objects,
                                  object_category category = active_objects);
    explicit CRhinoObjectIterator(const CRhinoDoc& doc, object_state state = normal_objects,
                                  object_category category = active_objects);

    void EnableVisibleFilter(bool enable = true) { visible_ = enable; }

    // The first matching object, or null; restarts the iteration.
    CRhinoObject* First();
    // The next matching object, or null at the end.
    CRhinoObject* Next();

private:
    bool accepts(const CRhinoObject& object) const;
    unsigned int docSerial_;
    unsigned int state_;
    unsigned int category_;
    bool visible_ = false;
    std::vector<CRhinoObject*> snapshot_;
    size_t next_ = 0;
};
