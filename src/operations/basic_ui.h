// Basic UI mode (Ctrl+B): Windows Installer runs with its basic interface and the install decision
// takes the user's consent for granted.
#pragma once

// Read on any thread: the operation worker reads it once when it starts.
bool IsBasicUiMode();
void SetBasicUiMode(bool on);
