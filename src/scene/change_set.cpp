#include "scene/change_set.h"

void ChangeSet::MarkObjectDeleted(uint64_t serial) {
    addedObjects.erase(serial);
    modifiedObjects.erase(serial);
    deletedObjects.insert(serial);
}

bool ChangeSet::Empty() const {
    for (const Serials* s :
         {&addedObjects, &modifiedObjects, &deletedObjects, &addedMaterials, &modifiedMaterials, &deletedMaterials,
          &addedLayers, &modifiedLayers, &deletedLayers, &addedMappings, &modifiedMappings, &deletedMappings})
        if (!s->empty())
            return false;
    return true;
}
