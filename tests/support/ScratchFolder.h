#pragma once
// A folder of a test's own under %TEMP%, removed with everything in it when
// the test ends, so that no test reads another's files or leaves any behind.
// Paths are wide, as the plug-in's are: a folder may be named in any script.

#include <string>
#include <string_view>

class ScratchFolder {
public:
    // The folder's name begins with purpose.
    explicit ScratchFolder(std::wstring_view purpose);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's path, ending with a path separator.
    const std::wstring& Path() const { return path_; }
    std::wstring PathOf(std::wstring_view name) const { return path_ + std::wstring(name); }
    // Writes text to the file name, byte for byte, and returns its path.
    std::wstring Write(std::wstring_view name, const std::string& text) const;
    // Makes the subfolder name (a path of several levels may be given) and
    // returns its path with a trailing separator.
    std::wstring MakeFolder(std::wstring_view name) const;

private:
    std::wstring path_;
};

// The folder of the running test program, ending with a path separator.
std::wstring ProgramFolder();
