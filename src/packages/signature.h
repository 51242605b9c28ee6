// Authenticode verification of a file, as one sentence for the user or the log.
#pragma once

#include <windows.h>

#include <string>

// Verifies path's signature (no UI, no revocation); text receives the outcome; true when verified.
bool VerifySignature(const std::wstring& path, std::wstring& text);

// The sentence for a WinVerifyTrust result; lastError is consulted for TRUST_E_NOSIGNATURE only.
std::wstring SignatureResultText(LONG result, DWORD lastError);
