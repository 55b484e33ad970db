#pragma once
// The devices command on given files and a given receiver, so that tests
// point it at a folder of their own; RunDevices gives it the tool's folder.

#include "tools/remote/PluginFiles.h"
#include "tools/remote/ReceiverSession.h"

#include <iosfwd>

// Lists every capture device with its index, name and card type, and marks
// the one the plug-in uses, with the reason. Selects each device in turn to
// read its card type. Returns the program's exit code.
int ListDevices(const PluginFiles& files, ReceiverSession& session, std::ostream& out);
