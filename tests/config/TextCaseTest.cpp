#include "plugin/config/TextCase.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct AsciiCase {
    char in;
    char out;
};

class AsciiLetters : public testing::TestWithParam<AsciiCase> {};

// Code texts hash and compare through AsciiUpper: a byte above 127 must stay
// as it is, whatever the code page would make of it.
TEST_P(AsciiLetters, ChangesOnlyTheLettersAToZ)
{
    EXPECT_EQ(AsciiUpper(GetParam().in), GetParam().out)
        << "byte " << int(static_cast<unsigned char>(GetParam().in));
}

INSTANTIATE_TEST_SUITE_P(Bytes, AsciiLetters,
                         testing::Values(AsciiCase{'a', 'A'}, AsciiCase{'z', 'Z'}, AsciiCase{'A', 'A'},
                                         AsciiCase{'`', '`'}, AsciiCase{'{', '{'}, AsciiCase{'0', '0'},
                                         AsciiCase{'\xE9', '\xE9'}, AsciiCase{'\xFF', '\xFF'}));

struct FileNameCase {
    const wchar_t* a;
    const wchar_t* b;
    bool same;
};

class FileNames : public testing::TestWithParam<FileNameCase> {};

// A setting names its key map in any letter case, also beyond ASCII and
// beyond the ANSI code page.
TEST_P(FileNames, CompareAsWindowsFileSystemsDo)
{
    const FileNameCase& c = GetParam();
    EXPECT_EQ(SameFileName(c.a, c.b), c.same)
        << testing::PrintToString(std::wstring(c.a)) << " and " << testing::PrintToString(std::wstring(c.b));
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileNames,
    testing::Values(FileNameCase{L"Remote.cfg", L"REMOTE.CFG", true},
                    FileNameCase{L"\u00e9t\u00e9.cfg", L"\u00c9T\u00c9.CFG", true},
                    FileNameCase{L"\u043f\u0443\u043b\u044c\u0442.cfg", L"\u041f\u0423\u041b\u042c\u0422.cfg", true},
                    FileNameCase{L"Remote.cfg", L"Remote.cfg ", false}, FileNameCase{L"", L"", true},
                    FileNameCase{L"Remote1.cfg", L"Remote2.cfg", false}));

}  // namespace
