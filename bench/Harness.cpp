#include "bench/Harness.h"

#include "bench/Measurement.h"

#include "common/Guarded.h"
#include "common/win/AnsiText.h"
#include "common/win/Handle.h"
#include "plugin/config/IniFile.h"
#include "plugin/config/KeyMapFiles.h"
#include "plugin/core/DispatchThread.h"
#include "plugin/core/Plugin.h"
#include "plugin/core/PluginState.h"

#include "simreceiver/SimControl.h"

#include <chrono>
#include <cstdio>

HandOutLog handOuts;

void RecordHandOut(unsigned char, void*)
{
    std::size_t index = handOuts.count.load();
    handOuts.times[index % HandOutLog::kCapacity] = Now();
    handOuts.count.store(index + 1);
}

void PushCode(unsigned char code)
{
    SimPushCodes(&code, 1);
}

PluginUnderTest::PluginUnderTest(TestHost& host) : host_(host)
{
    UseKeyRepeats({});
}

void PluginUnderTest::UseKeyRepeats(const std::vector<std::pair<std::string, std::string>>& repeats)
{
    std::wstring keyMap = library_.Folder().PathOf(L"Remote.cfg");
    ::CopyFileW((ProgramFolder() + L"PelcatoPCIDVD.cfg").c_str(), keyMap.c_str(), FALSE);
    IniFile file(keyMap);
    for (const auto& [keyName, rule] : repeats) {
        if (file.WriteString(kRepeatSection, keyName.c_str(), win::AnsiToWide(rule)) != ERROR_SUCCESS)
            std::fprintf(stderr, "PelcatoBench: cannot write %s=%s into the key map\n", keyName.c_str(), rule.c_str());
    }
}

void PluginUnderTest::Start(const std::string& settings)
{
    Stop();
    library_.Folder().Write(L"Pelcato.ini", "[Main]\r\nDefaultConfig=Remote.cfg\r\n" + settings);
    host_.Run([this] {
        library_.Open("Bench", host_.Window(), hostInfo_.bytes);
        library_.Start();
    });
    running_ = true;
}

void PluginUnderTest::StartOnly()
{
    host_.Run(library_.Start);
}

void PluginUnderTest::StopOnly()
{
    host_.Run(library_.Stop);
}

void PluginUnderTest::Stop()
{
    if (running_)
        host_.Run(library_.Close);
    running_ = false;
}

namespace {

class CountingClock final : public DispatchClock {
public:
    CountingClock(DispatchClock& clock, std::atomic<std::uint32_t>& wakeups) : clock_(clock), wakeups_(wakeups) {}

    std::uint64_t NowMicroseconds() override { return clock_.NowMicroseconds(); }
    CodeWait Wait(std::optional<std::chrono::microseconds> timeout) override
    {
        CodeWait wait = clock_.Wait(timeout);
        wakeups_.fetch_add(1, std::memory_order_relaxed);
        return wait;
    }

private:
    DispatchClock& clock_;
    std::atomic<std::uint32_t>& wakeups_;
};

}  // namespace

LinkedPlugin::LinkedPlugin(TestHost& host, std::int32_t intervalMs, Wakeups wakeups) : host_(host)
{
    host_.Run([this] { plugin::Open("Bench", host_.Window(), hostInfo_.bytes); });
    PluginState& state = ThePlugin();
    LoadKeyMapFile(ProgramFolder() + L"PelcatoPCIDVD.cfg", *state.keyMap, *state.modelNames);
    state.settings.interval = intervalMs;
    host_.Run(plugin::Start);
    if (wakeups == Wakeups::kCounted && state.dispatchThread) {
        // No key is down yet, so the thread ends without a message to the host.
        state.dispatchStop.Set();
        state.dispatchThread.Wait(INFINITE);
        state.dispatchStop.Reset();
        state.dispatchThread = win::Thread::Start(&CountedDispatchThreadProc, this);
    }
}

LinkedPlugin::~LinkedPlugin()
{
    host_.Run(plugin::Close);
}

void LinkedPlugin::SetTiming(const Timing& timing)
{
    SettingsValues& settings = ThePlugin().settings;
    settings.wait1 = timing.wait1;
    settings.waitN = timing.waitN;
    settings.waitR = timing.waitR;
}

Timing LinkedPlugin::CurrentTiming() const
{
    const SettingsValues& settings = ThePlugin().settings;
    return {settings.wait1.load(), settings.waitN.load(), settings.waitR.load()};
}

HANDLE LinkedPlugin::DispatchThread() const
{
    return ThePlugin().dispatchThread.Get();
}

HANDLE LinkedPlugin::ReceiverThread() const
{
    return ThePlugin().receiverThread.Get();
}

DWORD WINAPI LinkedPlugin::CountedDispatchThreadProc(void* context) noexcept
{
    auto* self = static_cast<LinkedPlugin*>(context);
    Guarded("the counted DispatchThread", [self] {
        PluginState& state = ThePlugin();
        SystemDispatchClock clock(state);
        CountingClock counting(clock, self->dispatchWakeups_);
        RunDispatchThread(state, counting);
    });
    return 0;
}
