#include "ConsoleStop.h"

#include <algorithm>
#include <atomic>
#include <charconv>

namespace {

std::atomic<HANDLE> stopEvent{nullptr};

BOOL WINAPI OnConsoleControl(DWORD event) noexcept
{
    HANDLE stop = stopEvent.load();
    if (!stop || (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT))
        return FALSE;
    ::SetEvent(stop);
    return TRUE;
}

}  // namespace

ConsoleStop::ConsoleStop() : event_(win::Event::CreateManualReset())
{
    if (!event_)
        return;
    stopEvent.store(event_.Get());
    installed_ = ::SetConsoleCtrlHandler(OnConsoleControl, TRUE) != FALSE;
}

ConsoleStop::~ConsoleStop()
{
    if (installed_)
        ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    stopEvent.store(nullptr);
}

std::optional<int> ParseSeconds(std::wstring_view wideText, int maxSeconds)
{
    std::string ascii(wideText.size(), '?');
    std::transform(wideText.begin(), wideText.end(), ascii.begin(),
                   [](wchar_t c) { return c < 128 ? static_cast<char>(c) : '?'; });
    std::string_view text = ascii;
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text[0] == '-' || text[0] == '+' || error != std::errc{} || end != text.data() + text.size() ||
        value < 1 || value > maxSeconds)
        return std::nullopt;
    return value;
}
