#include "tests/support/TestHost.h"

#include "plugin/core/HostLayout.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kHostClass[] = "PelcatoTestHost";
constexpr UINT kRunMessage = WM_APP + 1;
constexpr UINT kPostMessage = WM_APP + 2;

}  // namespace

TestHost::TestHost()
{
    std::promise<void> ready;
    std::future<void> isReady = ready.get_future();
    thread_ = std::thread([this, &ready] { ThreadMain(ready); });
    isReady.wait();
}

TestHost::~TestHost()
{
    Run([this] {
        ::DestroyWindow(window_);
        ::PostQuitMessage(0);
    });
    thread_.join();
}

void TestHost::ThreadMain(std::promise<void>& ready)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kHostClass;
    ::RegisterClassA(&windowClass);  // fails harmlessly for the second host

    threadId_ = ::GetCurrentThreadId();
    window_ = ::CreateWindowA(kHostClass, "Test host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              ::GetModuleHandleA(nullptr), this);
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ready.set_value();

    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

LRESULT CALLBACK TestHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* host = reinterpret_cast<TestHost*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case kRunMessage:
        (*reinterpret_cast<std::function<void()>*>(lParam))();
        return 0;
    case kPostMessage: {
        auto* task = reinterpret_cast<std::packaged_task<void()>*>(lParam);
        (*task)();
        delete task;
        return 0;
    }
    case kKeyMessage: {
        LARGE_INTEGER arrival;
        ::QueryPerformanceCounter(&arrival);
        if (host)
            host->Record(arrival.QuadPart, wParam, lParam);
        return 0;
    }
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void TestHost::Record(std::int64_t arrival, WPARAM wParam, LPARAM lParam)
{
    const auto* record = reinterpret_cast<const RemoteEvent*>(wParam);
    KeyMessage key{arrival, static_cast<std::int32_t>(lParam), *record, record->codeText ? record->codeText : "",
                   record->modelName ? record->modelName : ""};
    std::function<void(std::int32_t)> handler;
    {
        std::lock_guard lock(mutex_);
        if (keepMessages_)
            messages_.push_back(key);
        ++messageCount_;
        handler = onKey_;
    }
    changed_.notify_all();
    if (handler)
        handler(key.param);
}

void TestHost::Run(std::function<void()> work)
{
    ::SendMessageA(window_, kRunMessage, 0, reinterpret_cast<LPARAM>(&work));
}

std::future<void> TestHost::Post(std::function<void()> work)
{
    auto* task = new std::packaged_task<void()>(std::move(work));
    std::future<void> done = task->get_future();
    ::PostMessageA(window_, kPostMessage, 0, reinterpret_cast<LPARAM>(task));
    return done;
}

void TestHost::OnKey(std::function<void(std::int32_t)> handler)
{
    std::lock_guard lock(mutex_);
    onKey_ = std::move(handler);
}

std::vector<KeyMessage> TestHost::Messages() const
{
    std::lock_guard lock(mutex_);
    return messages_;
}

std::size_t TestHost::MessageCount() const
{
    std::lock_guard lock(mutex_);
    return messageCount_;
}

void TestHost::KeepMessages(bool keep)
{
    std::lock_guard lock(mutex_);
    keepMessages_ = keep;
}

std::vector<std::int32_t> TestHost::Params() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::int32_t> params;
    for (const KeyMessage& key : messages_)
        params.push_back(key.param);
    return params;
}

bool TestHost::WaitForRelease(DWORD timeoutMs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::any_of(messages_.begin(), messages_.end(), [](const KeyMessage& key) { return key.param == -1; });
    });
}

bool TestHost::WaitForMessages(std::size_t count, DWORD timeoutMs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return messageCount_ >= count; });
}

KeyMessage TestHost::MessageAt(std::size_t index) const
{
    std::lock_guard lock(mutex_);
    return messages_.at(index);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::Sleep(5);
    }
    return true;
}

HWND WaitForVisibleWindow(const char* windowClass, const char* caption, DWORD timeoutMs)
{
    HWND window = nullptr;
    bool visible = WaitUntil(
        [&] {
            window = ::FindWindowA(windowClass, caption);
            return window && ::IsWindowVisible(window);
        },
        timeoutMs);
    return visible ? window : nullptr;
}

HWND WaitForSetupForm(DWORD timeoutMs)
{
    return WaitForVisibleWindow("PelcatoSetupForm", "Pelcato TV tuner", timeoutMs);
}

std::string WindowText(HWND window)
{
    char text[512] = {};
    ::SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

HostInfo::HostInfo(std::uint32_t coreVersion)
{
    std::memcpy(bytes + host_layout::kCoreVersionOffset, &coreVersion, sizeof coreVersion);
}
