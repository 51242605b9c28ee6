// The program's own file: its path and the texts of its version resource.
#pragma once

#include <string>

// Full path of the program's own file, however long.
std::wstring GetModulePath();

// "1.11", "1.11.3", "1.11.0.4" or "1.11.3.4" from file's version resource; empty without one.
// Fills productName and copyright when given and present.
std::wstring GetFileVersionText(const std::wstring& file, std::wstring* productName = nullptr,
                                std::wstring* copyright = nullptr);

// "%s Version %s" of the product name and version number, read from our own file once.
std::wstring GetVersionText();

// The product name and copyright of our own version resource (read with the version text).
const std::wstring& GetProductName();
const std::wstring& GetCopyright();
