#pragma once
// A code's text: upper-case hexadecimal, zero-padded to a minimum number of
// digits. It is the key map's lookup key, the monitor's display and the key
// name of an unmapped code.

#include <cstdint>

constexpr int kCodeTextMaxDigits = 16;
// The digits a code's text is padded to once a key map is loaded: key maps
// write every code with exactly this many.
constexpr int kKeyMapCodeDigits = 8;

// Writes the text of code, padded to minDigits (at most 16), into out, which
// must hold 17 bytes.
void FormatCodeText(std::uint64_t code, int minDigits, char* out);
