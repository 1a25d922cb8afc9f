#pragma once
// CVantroCommand: the "Vantro" command. Its options About, Start, Stop, CameraSync,
// CameraStop and Settings act on the plug-in object (ThePlugIn). One static instance
// lives in the plug-in module; constructing it registers it with the host.
// Main thread only.

#include "sdk/app/rhino_command.h"

class CVantroCommand : public CRhinoCommand {
public:
    // Not transparent, repeatable, no explicit plug-in, not a test command.
    CVantroCommand();
    ~CVantroCommand() override;

    ON_UUID CommandUUID() override;
    const char16_t* EnglishCommandName() override;
    // Asks "Select action:" with the six options; Enter gives success, Cancel
    // cancel, anything but an option failure. Every option gives success.
    result RunCommand(const CRhinoCommandContext& context) override;
};
