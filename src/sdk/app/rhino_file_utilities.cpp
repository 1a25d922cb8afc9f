#include "sdk/app/rhino_file_utilities.h"

#include <filesystem>
#include <system_error>

#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk_internal.h"

namespace fs = std::filesystem;

namespace {

// Windows separators become this system's; nothing else changes.
fs::path toLocal(const ON_wString& path) {
    ON_wString local = path;
    local.Replace(u'\\', u'/');
    return fs::path(local.ToUtf8());
}

bool isFile(const fs::path& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool found(const fs::path& path, ON_wString& out) {
    if (!isFile(path))
        return false;
    out = ON_wString::FromUtf8(path.string());
    return true;
}

}  // namespace

bool CRhinoFileUtilities::FindFile(unsigned int docSerial, const ON_FileReference& reference, ON_wString& foundPath) {
    foundPath.Empty();
    if (!reference.IsSet())
        return false;
    if (found(toLocal(reference.FullPath()), foundPath))
        return true;
    const CRhinoDoc* doc = CRhinoDoc::FromRuntimeSerialNumber(docSerial);
    const fs::path docFolder = doc ? toLocal(vantro::sdk::folderPart(doc->GetPathName())) : fs::path();
    if (!docFolder.empty() && reference.RelativePath().IsNotEmpty() &&
        found(docFolder / toLocal(reference.RelativePath()), foundPath))
        return true;
    const ON_wString name =
        vantro::sdk::fileNamePart(reference.FullPath().IsNotEmpty() ? reference.FullPath() : reference.RelativePath());
    if (name.IsEmpty())
        return false;
    if (!docFolder.empty() && found(docFolder / toLocal(name), foundPath))
        return true;
    for (const ON_wString& folder : RhinoApp().AppSettings().FileSettings().SearchPaths())
        if (found(toLocal(folder) / toLocal(name), foundPath))
            return true;
    return false;
}

bool CRhinoFileUtilities::FindFile(unsigned int docSerial, const char16_t* fileName, ON_wString& foundPath) {
    foundPath.Empty();
    if (!fileName || !*fileName)
        return false;
    return FindFile(docSerial, ON_FileReference::CreateFromFullPath(fileName), foundPath);
}
