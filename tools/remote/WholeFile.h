#pragma once
// Files that the companion writes whole: a recording, a key map being
// learnt. The new text goes to a part file beside the file and is then
// moved over it, so that the file holds either its old contents or all of
// the new ones, whatever ends the program meanwhile.

#include <iosfwd>
#include <string>
#include <string_view>

// The new text is written to the path with this appended, and moved over
// the path once complete.
constexpr wchar_t kPartSuffix[] = L".part";

// Whether a file may be written at path. A file already there, such as a
// part file that an earlier run could not move, is left as it was.
bool CanWrite(const std::wstring& path);

// Writes text to path's part file, then moves it over path. Says what failed
// and returns false when a step fails; text that could not be moved stays in
// the part file, which the message names as where the what (such as "the
// recording") is.
bool ReplaceWhole(const std::wstring& path, const std::string& text, std::string_view what, std::ostream& out);
