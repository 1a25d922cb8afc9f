#pragma once
// CRhinoPlugIn / CRhinoUtilityPlugIn: the base of a plug-in object, and the host's
// record of a plug-in.
//
// A module defines one static plug-in object; its construction (when the module is
// loaded) hands it to the host as "pending". The host program then calls
// CRhinoApp::LoadPlugIn, which gives the object its file name and module handle,
// calls LoadProfile and OnLoadPlugIn, and keeps a record. CRhinoApp::CloseRhino (or
// UnloadPlugIns) calls SaveProfile and OnUnloadPlugIn.
//
// Virtual hooks, in slot order (the order is part of the interface):
//   ~CRhinoPlugIn, PlugInID, PlugInName, PlugInVersion, OnLoadPlugIn, OnUnloadPlugIn,
//   LoadProfile, SaveProfile, OnSaveAllSettings, CallWriteDocument,
//   OnInitPlugInMenuPopups, OnPlugInMenuCommand, AddToPlugInHelpMenu, SaveAsV3,
//   WriteDocument, ReadDocument, PlugInType.
// The stand-in's documents keep no plug-in data: the host never calls
// CallWriteDocument, SaveAsV3, WriteDocument or ReadDocument.
// Thread-safety: main thread only.

#include <cstdint>
#include <vector>

#include "sdk/geometry/on_string.h"
#include "sdk/geometry/on_uuid.h"

class CRhinoDoc;
class CRhinoPlugIn;
class CRhinoProfileContext;

// The module a plug-in was loaded from (an opaque handle of the host program).
using RhinoModuleHandle = void*;

class ON_BinaryArchive;

class CRhinoFileWriteOptions {
public:
    bool m_bSelectedObjectsFilter = false;
    ON_wString m_fileName;
};

class CRhinoFileReadOptions {
public:
    bool m_bImportMode = false;
    bool m_bReferenceMode = false;
    ON_wString m_fileName;
};

class CRhinoPlugInRecord {
public:
    const ON_UUID& Id() const { return id_; }
    const ON_wString& Name() const { return name_; }
    const ON_wString& FileName() const { return fileName_; }
    // The plug-in object; null when the plug-in is registered but not loaded.
    CRhinoPlugIn* PlugIn() const { return plugIn_; }
    // Menus the plug-in inserted into the host's menu (InsertPlugInMenuToRhinoMenu).
    const std::vector<void*>& Menus() const { return menus_; }

private:
    friend class CRhinoApp;
    friend class CRhinoPlugIn;
    ON_UUID id_;
    ON_wString name_;
    ON_wString fileName_;
    CRhinoPlugIn* plugIn_ = nullptr;
    std::vector<void*> menus_;
};

class CRhinoPlugIn {
public:
    enum plug_in_type : unsigned int {
        unknown_plug_in = 0,
        render_plug_in = 1,
        file_import_plug_in = 2,
        file_export_plug_in = 4,
        digitizer_plug_in = 8,
        utility_plug_in = 16,
        display_pipeline_plug_in = 32,
        display_engine_plug_in = 64,
    };

    CRhinoPlugIn();
    CRhinoPlugIn(const CRhinoPlugIn&) = delete;
    CRhinoPlugIn& operator=(const CRhinoPlugIn&) = delete;
    virtual ~CRhinoPlugIn();

    virtual ON_UUID PlugInID() const = 0;
    virtual const char16_t* PlugInName() const = 0;
    virtual const char16_t* PlugInVersion() const = 0;
    // 1: loaded; 0: failed (the host prints an error); -1: failed silently.
    virtual int OnLoadPlugIn();
    virtual void OnUnloadPlugIn();
    // Called before OnLoadPlugIn / at unload with the plug-in's profile section.
    virtual void LoadProfile(const char16_t* section, CRhinoProfileContext& pc);
    virtual void SaveProfile(const char16_t* section, CRhinoProfileContext& pc);
    virtual void OnSaveAllSettings();
    virtual bool CallWriteDocument(const CRhinoFileWriteOptions& options);
    // wParam: the menu being opened (the handle given to InsertPlugInMenuToRhinoMenu).
    virtual void OnInitPlugInMenuPopups(uintptr_t wParam, intptr_t lParam);
    // wParam: the command identifier of a menu item; true when handled.
    virtual bool OnPlugInMenuCommand(uintptr_t wParam);
    virtual bool AddToPlugInHelpMenu() const;
    virtual bool SaveAsV3(const CRhinoFileWriteOptions& options);
    virtual bool WriteDocument(CRhinoDoc& doc, ON_BinaryArchive& archive, const CRhinoFileWriteOptions& options);
    virtual bool ReadDocument(CRhinoDoc& doc, ON_BinaryArchive& archive, const CRhinoFileReadOptions& options);
    virtual plug_in_type PlugInType() const = 0;

    // The module file the plug-in was loaded from; empty before loading.
    ON_wString PlugInFileName() const { return fileName_; }
    RhinoModuleHandle PlugInInstance() const { return module_; }

    // Adds a menu (an opaque handle of the UI layer) to the host's menu bar at index;
    // the host then calls OnInitPlugInMenuPopups with it when it opens. False for a
    // null menu or a plug-in that is not loading or loaded.
    bool InsertPlugInMenuToRhinoMenu(void* menu, int index);

    // The host's record of the plug-in with that id; null when unknown.
    static CRhinoPlugInRecord* GetPlugIn(const ON_UUID& plugInId);

private:
    friend class CRhinoApp;
    ON_wString fileName_;
    RhinoModuleHandle module_ = nullptr;
};

class CRhinoUtilityPlugIn : public CRhinoPlugIn {
public:
    plug_in_type PlugInType() const final { return utility_plug_in; }
};
