#include "sdk/geometry/on_file_reference.h"

ON_FileReference ON_FileReference::CreateFromFullPath(const ON_wString& fullPath) {
    ON_FileReference reference;
    reference.SetFullPath(fullPath);
    return reference;
}
