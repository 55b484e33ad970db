#pragma once
// The core of the record command, apart from its arguments and the console,
// so that tests record from the simulated receiver in their own process.

#include "tools/remote/ReceiverSession.h"
#include "tools/remote/WholeFile.h"

#include <windows.h>

#include <cstdint>
#include <iosfwd>
#include <string>

struct RecordRequest {
    std::wstring path;         // the script file to write
    std::uint32_t durationMs;  // the longest recording
    std::int32_t intervalMs;   // the Interval setting, bounded as the plug-in bounds it
    HANDLE stopEvent;          // ends the recording early once set; may be null
};

// Polls the session's selected device, writes what it reported as a script
// to the request's path and a summary to out. The path keeps its old
// contents until the whole script replaces them. Returns kExitOk, or
// kExitCannot when the file cannot be written, or cannot be replaced, in
// which case the recording stays in the part file.
int RecordReports(ReceiverSession& session, const RecordRequest& request, std::ostream& out);
