// Authenticode verification of a file, as one sentence for the user or the log.
#pragma once

#include <windows.h>

#include <string>

// The trust provider's entry point; WinVerifyTrust unless a test puts another in its place.
using TrustFunction = LONG(WINAPI*)(HWND window, GUID* action, LPVOID data);

// Verifies path's signature (no UI, no revocation); text receives the outcome; true when verified.
bool VerifySignature(const std::wstring& path, std::wstring& text);

// The same check through trust: one verify call, then always one close call with the state it returned.
bool VerifySignature(const std::wstring& path, std::wstring& text, TrustFunction trust);

// The sentence for a WinVerifyTrust result; lastError is consulted for TRUST_E_NOSIGNATURE only.
std::wstring SignatureResultText(LONG result, DWORD lastError);
