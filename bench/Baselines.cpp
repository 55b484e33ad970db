#include "bench/Baselines.h"

#include "bench/Measurement.h"

#include "common/win/TimedWait.h"
#include "plugin/core/RemoteEvent.h"

#include <chrono>
#include <utility>

namespace {

// The record the baseline sends, like the plug-in's, lives as long as the
// program rather than on the sending thread.
RemoteEvent sentRecord = {};

}  // namespace

SignalledSender::SignalledSender(HWND target) : target_(target)
{
    thread_ = win::Thread::Start(&ThreadProc, this);
}

SignalledSender::~SignalledSender()
{
    stop_.Set();
    thread_.Wait(INFINITE);
}

DWORD WINAPI SignalledSender::ThreadProc(void* self)
{
    static_cast<SignalledSender*>(self)->Run();
    return 0;
}

void SignalledSender::Run()
{
    const HANDLE handles[] = {wake_.Get(), stop_.Get()};
    while (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) {
        wake_.Reset();
        ::SendMessageA(target_, kKeyMessage, reinterpret_cast<WPARAM>(&sentRecord), 0);
    }
}

Pauser::Pauser(DWORD periodMs) : periodMs(periodMs)
{
    thread = win::Thread::Start(&ThreadProc, this);
}

void Pauser::End()
{
    stop.Set();
    thread.Wait(INFINITE);
}

DWORD WINAPI Pauser::ThreadProc(void* context)
{
    auto* self = static_cast<Pauser*>(context);
    while (self->stop.Wait(self->periodMs) == WAIT_TIMEOUT) {
    }
    return 0;
}

BareWaiter::BareWaiter(std::vector<int> waitsMs) : waitsMs_(std::move(waitsMs)) {}

std::vector<double> BareWaiter::Run()
{
    win::Thread thread = win::Thread::Start(&ThreadProc, this);
    thread.Wait(INFINITE);
    return lateness_;
}

DWORD WINAPI BareWaiter::ThreadProc(void* self)
{
    static_cast<BareWaiter*>(self)->WaitAll();
    return 0;
}

void BareWaiter::WaitAll()
{
    win::Event never = win::Event::CreateManualReset();
    const HANDLE objects[] = {never.Get()};
    win::TimedWait wait;
    highResolution_ = wait.HighResolution();
    for (int waitMs : waitsMs_) {
        std::int64_t start = Now();
        wait.Wait(objects, 1, std::chrono::milliseconds(waitMs));
        lateness_.push_back(TicksToMs(Now() - start) - waitMs);
    }
}
