#pragma once
// CRhinoCommand: a command the user runs by name. Construct one static instance per
// command (its constructor registers it with the host, together with the plug-in
// being loaded) and override the hooks; the host calls RunCommand with a context.
//
// Hooks, in declaration order: destructor, CommandUUID, EnglishCommandName,
// RunCommand; LocalCommandName defaults to the English name.
// Thread-safety: main thread only.

#include <deque>

#include "sdk/geometry/on_string.h"
#include "sdk/geometry/on_uuid.h"

class CRhinoDoc;
class CRhinoPlugIn;

class CRhinoCommandContext {
public:
    // The document the command runs on; null when the host has none.
    CRhinoDoc* Document() const;
    unsigned int m_rhino_doc_sn = 0;
    // False when the command runs from a script (answers come from the script).
    bool m_interactive = false;
};

class CRhinoCommand {
public:
    enum result : int {
        success = 0,
        cancel = 1,
        nothing = 2,
        failure = 3,
        unknown_command = 4,
        cancel_modeless_dialog = 5,
        exit_rhino = 0x0FFFFFFF,
    };

    CRhinoCommand(bool transparent = false, bool doNotRepeat = false, const CRhinoPlugIn* plugIn = nullptr,
                  bool testCommand = false);
    CRhinoCommand(const CRhinoCommand&) = delete;
    CRhinoCommand& operator=(const CRhinoCommand&) = delete;
    virtual ~CRhinoCommand();

    virtual ON_UUID CommandUUID() = 0;
    virtual const char16_t* EnglishCommandName() = 0;
    virtual result RunCommand(const CRhinoCommandContext& context) = 0;
    virtual const char16_t* LocalCommandName() { return EnglishCommandName(); }

    // The plug-in the command belongs to (given, or the one loading when the command
    // was constructed); null for the host's own commands.
    const CRhinoPlugIn* PlugIn() const { return plugIn_; }
    bool IsTransparent() const { return transparent_; }
    bool DoNotRepeat() const { return doNotRepeat_; }
    bool IsTestCommand() const { return test_; }

private:
    friend class CRhinoApp;
    const CRhinoPlugIn* plugIn_;
    bool transparent_;
    bool doNotRepeat_;
    bool test_;
};
