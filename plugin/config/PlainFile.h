#pragma once
// Whether a path from a hand-edited setting names a file that can be read
// like any other. A name such as "COM1.cfg" reaches a device wherever it
// lies, and reading a serial port waits for as long as the port stays
// silent; a file that is not plain is therefore never opened at all.

#include <string>
#include <string_view>

// Whether the path, by its text alone, names a device ("NUL", "com1.cfg",
// "CONIN$", any of these as the last component, "\\.\" paths) or a pattern
// of files (a wildcard).
bool IsDeviceNameOrPattern(std::wstring_view path);

// Whether the path names an existing file that is neither a folder nor a
// device, and is short enough for the profile functions.
bool IsPlainFile(const std::wstring& path);
