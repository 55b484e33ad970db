#pragma once
// The subcommands of PelcatoRemote. Each takes the arguments after its name,
// writes what it has to say to out, and returns the program's exit code.
// Tests call them directly; Main.cpp only picks one by name.

#include <iosfwd>
#include <string>
#include <vector>

// Wide, as Windows gives them, so that a path may name a folder outside the
// ANSI code page.
using Arguments = std::vector<std::wstring>;

// The command did its work; so did a watch or a record that Ctrl+C ended:
// what it showed or wrote stands.
constexpr int kExitOk = 0;
// check: findings in the key maps; calibrate: the timings do not fit; learn:
// findings in the learnt key map.
constexpr int kExitFindings = 1;
// Nothing could be done: wrong arguments, no folder, no receiver, a
// calibration that Ctrl+C ended before it was complete, a key map that
// cannot be written.
constexpr int kExitCannot = 2;

int RunDevices(const Arguments& arguments, std::ostream& out);
int RunWatch(const Arguments& arguments, std::ostream& out);
int RunCalibrate(const Arguments& arguments, std::ostream& out);
int RunRecord(const Arguments& arguments, std::ostream& out);
int RunCheck(const Arguments& arguments, std::ostream& out);
int RunLearn(const Arguments& arguments, std::ostream& out);
