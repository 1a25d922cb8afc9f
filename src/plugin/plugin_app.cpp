#include "plugin_app.h"

bool CPluginApp::InitInstance() { return true; }

int CPluginApp::ExitInstance() { return 0; }
