#pragma once
// CRhinoFileUtilities::FindFile: finds a file a document refers to after it moved.
//
// Paths written on Windows are understood: '\' counts as a separator. The search, in
// order: the full path; the relative path against the document's folder; the file
// name in the document's folder; the file name in each of the application's search
// paths (CRhinoAppFileSettings::SearchPaths). Only regular files count. The path found
// is returned as it exists on this machine.
// Thread-safety: main thread only.

#include "sdk/geometry/on_file_reference.h"
#include "sdk/geometry/on_string.h"

class CRhinoFileUtilities {
public:
    // False (foundPath emptied) when nothing is found or the reference is not set.
    static bool FindFile(unsigned int docSerial, const ON_FileReference& reference, ON_wString& foundPath);
    static bool FindFile(unsigned int docSerial, const char16_t* fileName, ON_wString& foundPath);
};
