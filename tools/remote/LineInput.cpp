#include "tools/remote/LineInput.h"

#include <deque>
#include <mutex>

struct HandleLines::Queue {
    HANDLE input;
    win::Event ready = win::Event::CreateManualReset();
    std::mutex mutex;
    std::deque<std::string> lines;
    bool ended = false;
};

namespace {

// Each read hands over what was typed up to Enter, or a pipe's next block.
constexpr DWORD kReadBytes = 512;

void Push(HandleLines::Queue& queue, std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.lines.push_back(std::move(line));
    queue.ready.Set();
}

void ReadUntilTheEnd(HandleLines::Queue& queue)
{
    std::string partial;
    char bytes[kReadBytes];
    DWORD read = 0;
    while (::ReadFile(queue.input, bytes, kReadBytes, &read, nullptr) && read > 0) {
        partial.append(bytes, read);
        for (std::size_t end = partial.find('\n'); end != std::string::npos; end = partial.find('\n')) {
            Push(queue, partial.substr(0, end));
            partial.erase(0, end + 1);
        }
    }
    if (!partial.empty())
        Push(queue, partial);
}

// The thread owns a share of the queue, so that a read that ends after the
// HandleLines has gone writes into memory that is still there.
DWORD WINAPI ReaderThread(void* argument) noexcept
{
    std::unique_ptr<std::shared_ptr<HandleLines::Queue>> owned(static_cast<std::shared_ptr<HandleLines::Queue>*>(argument));
    HandleLines::Queue& queue = **owned;
    try {
        ReadUntilTheEnd(queue);
    } catch (...) {
        // No memory for a line: the input ends here, as the command is told.
    }
    try {
        std::lock_guard<std::mutex> lock(queue.mutex);
        queue.ended = true;
    } catch (...) {
        // Without the lock, the end is not marked; TakeLine then finds no
        // line, which tells the command the same.
    }
    queue.ready.Set();
    return 0;
}

}  // namespace

HandleLines::HandleLines(HANDLE input) : queue_(std::make_shared<Queue>())
{
    queue_->input = input;
    if (!queue_->ready)
        return;
    auto share = std::make_unique<std::shared_ptr<Queue>>(queue_);
    reader_ = win::Thread::Start(ReaderThread, share.get());
    if (reader_)
        share.release();
}

// A read of the console or of a pipe is ended where the system allows it;
// where it does not, the thread is left to end with the process.
HandleLines::~HandleLines()
{
    if (reader_ && reader_.Wait(0) == WAIT_TIMEOUT)
        ::CancelSynchronousIo(reader_.Get());
}

HandleLines::operator bool() const
{
    return queue_->ready && reader_;
}

HANDLE HandleLines::Ready() const
{
    return queue_->ready.Get();
}

std::optional<std::string> HandleLines::TakeLine()
{
    std::lock_guard<std::mutex> lock(queue_->mutex);
    if (queue_->lines.empty()) {
        if (!queue_->ended)
            queue_->ready.Reset();
        return std::nullopt;
    }
    std::string line = std::move(queue_->lines.front());
    queue_->lines.pop_front();
    if (queue_->lines.empty() && !queue_->ended)
        queue_->ready.Reset();
    return line;
}
