#pragma once
// Files and printed output as tests read them: whole, or line by line with
// the CR of Windows' line ends dropped.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

// The file's bytes; none when it cannot be read.
inline std::string ReadTextFile(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path{path}, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline std::vector<std::string> FileLines(const std::wstring& path)
{
    return Lines(ReadTextFile(path));
}
