#include "shell/app.h"

#include "releases/download_engine.h"

CInstallerApp theApp;

CInstallerApp::CInstallerApp() = default;
CInstallerApp::~CInstallerApp() = default;
