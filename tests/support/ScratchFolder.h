#pragma once
// A folder of a test's own under %TEMP%, removed with everything in it when
// the test ends, so that no test reads another's files or leaves any behind.

#include <string>

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& purpose);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's path, ending with a path separator.
    const std::string& Path() const { return path_; }
    std::string PathOf(const std::string& name) const { return path_ + name; }
    // Writes text to the file name, byte for byte, and returns its path.
    std::string Write(const std::string& name, const std::string& text) const;

private:
    std::string path_;
};

// The folder of the running test program, ending with a path separator.
std::string ProgramFolder();
