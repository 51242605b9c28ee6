#include "releases/download_engine.h"

// Requests carry their own context; until transfers are started nothing arrives here that needs work.
void CALLBACK CVNInet::StatusCallback(HINTERNET, DWORD_PTR, DWORD, LPVOID, DWORD) {}
