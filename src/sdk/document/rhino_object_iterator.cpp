#include "sdk/document/rhino_object_iterator.h"

#include "sdk/document/rhino_doc.h"

CRhinoObjectIterator::CRhinoObjectIterator(unsigned int docSerial, object_state state, object_category category)
    : docSerial_(docSerial), state_(state), category_(category) {}

CRhinoObjectIterator::CRhinoObjectIterator(const CRhinoDoc& doc, object_state state, object_category category)
    : CRhinoObjectIterator(doc.RuntimeSerialNumber(), state, category) {}

bool CRhinoObjectIterator::accepts(const CRhinoObject& object) const {
    if (object.IsDeleted()) {
        if (!(state_ & deleted_objects))
            return false;
    } else if (object.IsInstanceDefinitionGeometry()) {
        if (!(state_ & idef_objects))
            return false;
    } else {
        unsigned int bit = normal_objects;
        if (object.IsLocked())
            bit = locked_objects;
        else if (object.IsHidden())
            bit = hidden_objects;
        if (!(state_ & bit))
            return false;
    }
    const unsigned int category = object.IsReference() ? reference_objects : active_objects;
    if (!(category_ & category))
        return false;
    if (visible_ && !object.IsVisible())
        return false;
    return true;
}

CRhinoObject* CRhinoObjectIterator::First() {
    const CRhinoDoc* doc = CRhinoDoc::FromRuntimeSerialNumber(docSerial_);
    snapshot_ = doc ? doc->Objects() : std::vector<CRhinoObject*>();
    next_ = 0;
    return Next();
}

CRhinoObject* CRhinoObjectIterator::Next() {
    while (next_ < snapshot_.size()) {
        CRhinoObject* object = snapshot_[next_++];
        if (accepts(*object))
            return object;
    }
    return nullptr;
}
