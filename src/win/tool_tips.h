// Tool tips that also show over disabled controls: the pump relays mouse messages to every
// registered tip, and each tip finds the control under the pointer itself.
#pragma once

#include <windows.h>

// Registers toolTip and subclasses it; it leaves the registry when it is destroyed.
void RegisterToolTip(HWND toolTip);

// The page whose controls the tips describe (the visible page), or null.
void SetToolTipPage(HWND page);

// Hands a mouse message to every registered tip as a message of the page's child under the pointer.
void RelayToToolTips(const MSG& msg);

// How many tips are registered (for tests).
size_t RegisteredToolTipCount();
