#pragma once
// Bringing the open document up to a newer copy of its file: the difference between
// the two is applied to the open document as the editing commands would make it, so
// that every change raises the event an interactive edit raises and nothing else
// does. The followed file (document_watcher.h) uses it after each save.
//
// Everything is matched by id: objects, layers, materials, texture mappings, block
// definitions and embedded images; views by name. An entry whose id is new is added,
// one that is gone is deleted, one whose content differs is modified. An object whose
// geometry differs is replaced; when the new geometry is the old one moved (the same
// triangles, every vertex carried by one rotation, uniform scaling and translation;
// an instance placed with another transformation) it counts as moved, and is still replaced by the file's own copy,
// so that the open document holds exactly what the file holds. Units change without
// scaling: the file's numbers are already in its units.
// Main thread only (it edits the document).

#include <string>

class CRhinoDoc;

namespace vantro::host {

// What one application changed, per kind.
struct DocumentChanges {
    int added = 0;       // objects
    int deleted = 0;     // objects
    int replaced = 0;    // objects whose geometry changed
    int moved = 0;       // objects whose geometry only moved
    int attributes = 0;  // objects whose attributes alone changed
    int layers = 0;      // added, modified or deleted entries of each table
    int materials = 0;
    int mappings = 0;
    int blocks = 0;
    int views = 0;  // views added or changed, and a change of the active view
    bool units = false;
    int refused = 0;  // edits the document refused (reported by the document)

    int total() const {
        return added + deleted + replaced + moved + attributes + layers + materials + mappings + blocks + views +
               (units ? 1 : 0);
    }
};

// "1 object replaced, 2 layers" or "no changes"; refusals are named last.
std::string describeChanges(const DocumentChanges& changes);

// Edits open until its content is that of read (a detached document just read from
// the same file). read is not changed. Deleted objects and entries of read are
// ignored; reference (worksession) objects are left alone, and an object of read whose
// id one of them (or the geometry of a block read no longer has) holds is refused.
DocumentChanges applyDocumentChanges(CRhinoDoc& open, const CRhinoDoc& read);

}  // namespace vantro::host
