#pragma once
// CPluginApp: the module's application object. On the modelling host it is the MFC
// application of the DLL, which gives code loading the DLL's resources its module
// state. Without MFC there is no module state to enter: the object keeps the
// application object's hooks so the module's start-up reads as it does there.

class CPluginApp {
public:
    // Calls the base (nothing here) and reports success.
    bool InitInstance();
    // The base's result: 0.
    int ExitInstance();
};
