// Layout of the main window: page templates, tab control, moved controls, size and placement.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// A dialog template copied out of the resources, editable before the page is created from it.
struct PageTemplate {
    std::vector<BYTE> Bytes;  // empty when the resource could not be loaded

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(Bytes.data()); }
};

// Copies dialog resource id of module; empty bytes when it is missing.
PageTemplate LoadPageTemplate(HINSTANCE module, int id);

// Turns the template's pop-up style into a child style, keeping every other style bit.
// False when the bytes are too short to be a dialog template.
bool MakeChildTemplate(std::vector<BYTE>& bytes);

// The template's caption; false (text untouched) when the bytes end before it does.
bool ReadTemplateCaption(const std::vector<BYTE>& bytes, std::wstring& caption);

// The template's width and height in dialog units; false for bytes too short to hold them.
bool ReadTemplateSize(const std::vector<BYTE>& bytes, SIZE& size);

// Top-left corner for a window of this size: centred in the work area, pulled back inside its
// right and bottom edges, and never left of or above its left and top edges.
POINT PlaceInWorkArea(const RECT& work, SIZE window);

// Two horizontal and two vertical dialog units of the system font, in pixels.
SIZE DialogMargins();

// Lays out the main window (tab control sized for the largest page, controls below it, window
// sized and placed on the primary monitor); inserts one tab per template, captioned from it.
// Returns the area of the pages in the window's client co-ordinates.
RECT LayOutMainWindow(HWND window, std::vector<PageTemplate>& pages);
