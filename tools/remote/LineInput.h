#pragma once
// Lines that the user types while a command goes on with other work: learn
// polls the receiver while it waits for a key name or for Enter. Neither a
// pipe nor a console's line input can be waited on beside the polls, so the
// lines are read on a thread of their own and wait in a queue, with an event
// that is set while one waits.

#include "common/win/Handle.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

class LineInput {
public:
    // Set while a line, or the end of the input, waits to be taken.
    virtual HANDLE Ready() const = 0;
    // The next line, without its line break; none at the end of the input.
    // Taken only once Ready is set.
    virtual std::optional<std::string> TakeLine() = 0;
    // The command has asked its question and now waits for the answer.
    // Typed input has no use for it; a script of answers, which a test
    // plays, gives its next one.
    virtual void Asked() {}

protected:
    ~LineInput() = default;
};

// The lines of a handle: the console's input in line mode, a pipe or a
// file. Its reading thread may outlive it, blocked in a read that nothing
// can end before the process does; it then holds the queue itself.
class HandleLines final : public LineInput {
public:
    explicit HandleLines(HANDLE input);
    ~HandleLines();
    HandleLines(const HandleLines&) = delete;
    HandleLines& operator=(const HandleLines&) = delete;

    // False when no thread or event could be made.
    explicit operator bool() const;

    HANDLE Ready() const override;
    std::optional<std::string> TakeLine() override;

    struct Queue;

private:
    std::shared_ptr<Queue> queue_;
    win::Thread reader_;
};
