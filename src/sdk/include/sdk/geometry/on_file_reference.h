#pragma once
// ON_FileReference: where a file a document refers to lives (a texture image, for
// instance): the full path recorded when the document was saved and, optionally, a
// path relative to the document. Text is kept exactly as stored (a document written
// on Windows keeps its backslashes; CRhinoFileUtilities::FindFile copes).
//
// Thread-safety: a value type.

#include "sdk/geometry/on_string.h"

class ON_FileReference {
public:
    ON_FileReference() = default;
    static ON_FileReference CreateFromFullPath(const ON_wString& fullPath);

    const ON_wString& FullPath() const { return full_; }
    const ON_wString& RelativePath() const { return relative_; }
    void SetFullPath(const ON_wString& path) { full_ = path; }
    void SetRelativePath(const ON_wString& path) { relative_ = path; }

    // True when either path is set.
    bool IsSet() const { return full_.IsNotEmpty() || relative_.IsNotEmpty(); }

    friend bool operator==(const ON_FileReference&, const ON_FileReference&) = default;

private:
    ON_wString full_;
    ON_wString relative_;
};
