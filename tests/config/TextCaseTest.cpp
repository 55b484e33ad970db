#include "config/TextCase.h"

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

// 0xE9 and 0xC9 are a lower and upper case pair in every Western, Central
// European, Cyrillic and Greek ANSI code page.
TEST(AnsiUpperCase, FoldsLettersBeyondAsciiAsTheCodePageHasThem)
{
    EXPECT_EQ(AnsiUpperCase("\xE9t\xE9.cfg"), "\xC9T\xC9.CFG");
    EXPECT_EQ(AnsiUpperCase(""), "");
}

}  // namespace
