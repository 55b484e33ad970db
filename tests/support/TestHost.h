#pragma once
// A host as the plug-in meets one: a window on a thread of its own that
// records every key message together with a copy of the record, and runs
// work on its thread, as a host calls the plug-in from its UI thread.

#include "plugin/core/RemoteEvent.h"

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct KeyMessage {
    std::int64_t arrival;  // QueryPerformanceCounter as the window procedure began
    std::int32_t param;
    RemoteEvent record;
    std::string codeText;
    std::string modelName;
};

class TestHost {
public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    HWND Window() const { return window_; }
    DWORD ThreadId() const { return threadId_; }

    // Runs work on the host's thread and waits for it.
    void Run(std::function<void()> work);
    // Starts work on the host's thread; the future is ready when it has run.
    std::future<void> Post(std::function<void()> work);

    // Called on the host's thread inside the handling of each key message.
    void OnKey(std::function<void(std::int32_t param)> handler);

    std::vector<KeyMessage> Messages() const;
    // Every key message that arrived, kept or not.
    std::size_t MessageCount() const;
    // With false, messages are counted but not kept, so that thousands of
    // them do not show up as memory that the plug-in uses.
    void KeepMessages(bool keep);
    std::vector<std::int32_t> Params() const;
    // True once a release has arrived.
    bool WaitForRelease(DWORD timeoutMs) const;
    // True once count key messages have arrived in all.
    bool WaitForMessages(std::size_t count, DWORD timeoutMs) const;
    KeyMessage MessageAt(std::size_t index) const;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void ThreadMain(std::promise<void>& ready);
    void Record(std::int64_t arrival, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<KeyMessage> messages_;
    std::size_t messageCount_ = 0;
    bool keepMessages_ = true;
    std::function<void(std::int32_t)> onKey_;
};

// Polls condition every few milliseconds, up to timeoutMs.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// The top-level window of that class and caption once it is visible, or null.
HWND WaitForVisibleWindow(const char* windowClass, const char* caption, DWORD timeoutMs);

// The plug-in's setup dialog once it is visible, or null.
HWND WaitForSetupForm(DWORD timeoutMs);

// The text of a window, read with WM_GETTEXT so that it works across threads.
std::string WindowText(HWND window);

// A host record carrying the given core version where the host puts it.
struct HostInfo {
    unsigned char bytes[64] = {};
    explicit HostInfo(std::uint32_t coreVersion);
};

constexpr std::uint32_t kAcceptedCoreVersion = 0x02070C05;
