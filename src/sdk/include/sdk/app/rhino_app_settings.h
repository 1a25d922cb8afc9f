#pragma once
// CRhinoAppSettings / CRhinoAppFileSettings: application settings the plug-in reads:
// the default render material and the file settings (auto-save, search paths).
// Host programs and tests change them through the setters.
// Thread-safety: main thread only.

#include <vector>

#include "sdk/document/on_material.h"
#include "sdk/geometry/on_string.h"

class CRhinoAppFileSettings {
public:
    bool AutoSaveEnabled() const { return autoSaveEnabled_; }
    void SetAutoSaveEnabled(bool enabled) { autoSaveEnabled_ = enabled; }
    // Full path of the auto-save file (written by CRhinoApp::AutoSave).
    const ON_wString& AutoSaveFile() const { return autoSaveFile_; }
    void SetAutoSaveFile(const ON_wString& path) { autoSaveFile_ = path; }
    // Folders CRhinoFileUtilities::FindFile searches after the document's own.
    const std::vector<ON_wString>& SearchPaths() const { return searchPaths_; }
    void SetSearchPaths(std::vector<ON_wString> paths) { searchPaths_ = std::move(paths); }

private:
    bool autoSaveEnabled_ = true;
    ON_wString autoSaveFile_ = u"/tmp/RhinoAutoSave.3dm";
    std::vector<ON_wString> searchPaths_;
};

class CRhinoAppSettings {
public:
    CRhinoAppSettings();
    // The material objects render with when theirs is not valid: white-ish grey,
    // named "Default", id nil.
    const ON_Material& DefaultMaterial() const { return defaultMaterial_; }
    void SetDefaultMaterial(const ON_Material& material) { defaultMaterial_ = material; }
    const CRhinoAppFileSettings& FileSettings() const { return file_; }
    CRhinoAppFileSettings& FileSettings() { return file_; }

private:
    ON_Material defaultMaterial_;
    CRhinoAppFileSettings file_;
};
