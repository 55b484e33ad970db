// Our stand-in for the vendor's receiver library. It keeps the contracts the
// wrapper relies on: GetCode never blocks and reports 255 when it has
// nothing; a device name stays valid and writable until the next
// GetDeviceName; devices are numbered without gaps; the object is the
// vendor's 8 bytes (chip-type switch, then card type), so all other state
// lives here, shared by every object.
//
// Codes come from a queue that the control interface fills, one code per
// GetCode call. A device index past the last selects no card (card type 0);
// codes flow all the same.

#include "SimControl.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Object {
    std::int32_t chipTypeTM;
    std::int32_t cardType;
};
static_assert(sizeof(Object) == 8);

struct Device {
    std::string name;
    long cardType;
};

void ResetLocked(struct Simulator& simulator);

struct Simulator {
    Simulator() { ResetLocked(*this); }

    std::mutex mutex;
    std::vector<Device> devices;
    std::deque<unsigned char> codes;
    std::string nameBuffer;
    SimStats stats;
    void (*hook)(void*) = nullptr;
    void* hookContext = nullptr;
};

Simulator& TheSimulator()
{
    static Simulator simulator;
    return simulator;
}

std::vector<Device> DefaultDevices()
{
    return {{"Pelcato PCI DVD Tuner", 3}, {"Generic Video Capture", 0}};
}

void ResetLocked(Simulator& simulator)
{
    simulator.devices = DefaultDevices();
    simulator.codes.clear();
    long alive = simulator.stats.objectsAlive;
    simulator.stats = SimStats{};
    simulator.stats.objectsAlive = alive;  // objects outlive a reset
    simulator.stats.lastSelectedDevice = -1;
    simulator.hook = nullptr;
    simulator.hookContext = nullptr;
}

long CardTypeOf(const Simulator& simulator, unsigned long index)
{
    return index < simulator.devices.size() ? simulator.devices[index].cardType : 0;
}

}  // namespace

// The vendor's members, with thiscall and the decorated names of pltremote.def.
// The constructor returns the object, as Microsoft's compiler makes every
// constructor do, so that a caller built by that compiler may rely on EAX.
// noexcept: a failure inside the simulator ends the process rather than
// unwinding into a caller that knows nothing of our exceptions.
#define MEMBER(decorated) noexcept __asm__("\"_" decorated "\"")
extern "C" {
Object* __attribute__((thiscall)) Construct(Object* self) MEMBER("??0CPLTRemote@@QAE@XZ");
void __attribute__((thiscall)) Destruct(Object* self) MEMBER("??1CPLTRemote@@QAE@XZ");
long __attribute__((thiscall)) GetCode(Object* self, unsigned char* code) MEMBER("?GetCode@CPLTRemote@@QAEJPAE@Z");
char* __attribute__((thiscall)) GetDeviceName(Object* self, unsigned long index)
    MEMBER("?GetDeviceName@CPLTRemote@@QAEPADK@Z");
long __attribute__((thiscall)) SelectDevice(Object* self, unsigned long index) MEMBER("?SelectDevice@CPLTRemote@@QAEJK@Z");
}

Object* Construct(Object* self) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    self->chipTypeTM = 0;
    self->cardType = CardTypeOf(simulator, 0);
    ++simulator.stats.constructed;
    ++simulator.stats.objectsAlive;
    return self;
}

void Destruct(Object*) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    --simulator.stats.objectsAlive;
}

long GetCode(Object*, unsigned char* code) noexcept
{
    Simulator& simulator = TheSimulator();
    void (*hook)(void*);
    void* context;
    {
        std::lock_guard lock(simulator.mutex);
        hook = simulator.hook;
        context = simulator.hookContext;
    }
    if (hook)
        hook(context);

    std::lock_guard lock(simulator.mutex);
    ++simulator.stats.getCodeCalls;
    if (simulator.codes.empty()) {
        *code = 255;
        return 1;
    }
    *code = simulator.codes.front();
    simulator.codes.pop_front();
    return 0;
}

char* GetDeviceName(Object*, unsigned long index) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    if (index >= simulator.devices.size())
        return nullptr;
    simulator.nameBuffer = simulator.devices[index].name;
    return simulator.nameBuffer.data();
}

long SelectDevice(Object* self, unsigned long index) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    ++simulator.stats.selectDeviceCalls;
    simulator.stats.lastSelectedDevice = static_cast<long>(index);
    simulator.stats.chipTypeAtSelect = self->chipTypeTM;
    self->cardType = CardTypeOf(simulator, index);
    return index < simulator.devices.size() ? 0 : 1;
}

extern "C" {

void SimReset() noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    ResetLocked(simulator);
}

void SimSetDevices(const char* const* names, const long* cardTypes, int count) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    simulator.devices.clear();
    for (int i = 0; i < count; ++i)
        simulator.devices.push_back({names[i], cardTypes ? cardTypes[i] : 0});
}

void SimPushCodes(const unsigned char* codes, int count) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    simulator.codes.insert(simulator.codes.end(), codes, codes + count);
}

int SimPendingCodes() noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    return static_cast<int>(simulator.codes.size());
}

void SimGetStats(SimStats* stats) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    *stats = simulator.stats;
}

void SimSetGetCodeHook(void (*hook)(void*), void* context) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    simulator.hook = hook;
    simulator.hookContext = context;
}

}  // extern "C"
