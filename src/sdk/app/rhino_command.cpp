#include "sdk/app/rhino_command.h"

#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

CRhinoDoc* CRhinoCommandContext::Document() const { return CRhinoDoc::FromRuntimeSerialNumber(m_rhino_doc_sn); }

CRhinoCommand::CRhinoCommand(bool transparent, bool doNotRepeat, const CRhinoPlugIn* plugIn, bool testCommand)
    : plugIn_(plugIn), transparent_(transparent), doNotRepeat_(doNotRepeat), test_(testCommand) {
    RhinoApp().registerCommand(this);
}

CRhinoCommand::~CRhinoCommand() { RhinoApp().unregisterCommand(this); }
