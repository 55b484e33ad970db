#pragma once
// The core of the learn command, apart from its arguments, the console and
// the receiver's opening, so that tests learn from the simulated receiver
// with a script of answers.

#include "tools/remote/LineInput.h"
#include "tools/remote/PluginFiles.h"

#include "plugin/receiver/PacedPolls.h"

#include <windows.h>

#include <iosfwd>
#include <optional>
#include <string>

struct LearnRequest {
    std::wstring path;                // the key map, with its folder
    std::optional<std::string> model; // its model name, from --model
    HANDLE stopEvent;                 // ends the learning once set
};

// Asks for one button after another, polled and told apart by the plug-in's
// rules with settings, and writes the key map whole after each name. Returns
// kExitOk, kExitFindings when the learnt key map has what check reports, or
// kExitCannot when the key map cannot be written.
int LearnKeys(const PollFunction& poll, const PluginSettings& settings, const LearnRequest& request, LineInput& input,
              std::ostream& out);
