#include "sdk/app/rhino_plug_in.h"

#include <algorithm>

#include "sdk/app/rhino_app.h"

CRhinoPlugIn::CRhinoPlugIn() { RhinoApp().registerPlugInObject(this); }

CRhinoPlugIn::~CRhinoPlugIn() { RhinoApp().unregisterPlugInObject(this); }

// Base hooks: load successfully, keep nothing, handle no menu command.
int CRhinoPlugIn::OnLoadPlugIn() { return 1; }
void CRhinoPlugIn::OnUnloadPlugIn() {}
void CRhinoPlugIn::LoadProfile(const char16_t*, CRhinoProfileContext&) {}
void CRhinoPlugIn::SaveProfile(const char16_t*, CRhinoProfileContext&) {}
void CRhinoPlugIn::OnSaveAllSettings() {}
bool CRhinoPlugIn::CallWriteDocument(const CRhinoFileWriteOptions&) { return false; }
void CRhinoPlugIn::OnInitPlugInMenuPopups(uintptr_t, intptr_t) {}
bool CRhinoPlugIn::OnPlugInMenuCommand(uintptr_t) { return false; }
bool CRhinoPlugIn::AddToPlugInHelpMenu() const { return false; }
bool CRhinoPlugIn::SaveAsV3(const CRhinoFileWriteOptions&) { return false; }
bool CRhinoPlugIn::WriteDocument(CRhinoDoc&, ON_BinaryArchive&, const CRhinoFileWriteOptions&) { return true; }
bool CRhinoPlugIn::ReadDocument(CRhinoDoc&, ON_BinaryArchive&, const CRhinoFileReadOptions&) { return true; }

bool CRhinoPlugIn::InsertPlugInMenuToRhinoMenu(void* menu, int index) {
    if (!menu)
        return false;
    CRhinoPlugInRecord* record = RhinoApp().PlugInRecord(PlugInID());
    if (!record || record->PlugIn() != this)
        return false;
    auto& menus = record->menus_;
    const auto at = menus.begin() + std::clamp<ptrdiff_t>(index, 0, static_cast<ptrdiff_t>(menus.size()));
    menus.insert(at, menu);
    return true;
}

CRhinoPlugInRecord* CRhinoPlugIn::GetPlugIn(const ON_UUID& plugInId) { return RhinoApp().PlugInRecord(plugInId); }
