// Our stand-in for the vendor's receiver library. It keeps the contracts the
// wrapper relies on: GetCode never blocks and reports 255 when it has
// nothing; a device name stays valid and writable until the next
// GetDeviceName; devices are numbered without gaps; the object is the
// vendor's 8 bytes (chip-type switch, then card type), so all other state
// lives here, shared by every object.
//
// GetCode hands out the codes the control interface queued, one per call,
// and else the newest report of the script that is playing. A device index
// past the last selects no card (card type 0); codes flow all the same.

#include "common/win/AnsiText.h"
#include "common/win/ModulePath.h"
#include "simreceiver/CodeScript.h"
#include "simreceiver/SimControl.h"
#include "wrapper/VendorAbi.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
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
    std::string buffer;  // what GetDeviceName handed out, as the caller left it
};

constexpr wchar_t kSettingsFileName[] = L"pltremote-sim.ini";
constexpr int kMaxDevices = 64;
constexpr std::streamsize kMaxScriptBytes = 1 << 20;

std::vector<Device> BuiltInDevices()
{
    return {{"Pelcato PCI DVD Tuner", 3, {}}, {"Generic Video Capture", 0, {}}};
}

std::uint64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Wide, as the path may lie in a folder of any name; the file's text is ANSI.
std::wstring ProfileString(const std::wstring& path, const std::wstring& section, const wchar_t* key)
{
    wchar_t value[512] = {};
    ::GetPrivateProfileStringW(section.c_str(), key, L"", value, 512, path.c_str());
    return value;
}

struct Settings {
    std::vector<Device> devices;
    std::string script;
    bool loop = false;
    int result = 0;  // as SimLoadSettings gives it
};

Settings ReadSettings(const std::wstring& path)
{
    Settings settings;
    for (int i = 0; i < kMaxDevices; ++i) {
        std::wstring section = L"Device" + std::to_wstring(i);
        std::string name = win::WideToAnsi(ProfileString(path, section, L"Name"));
        if (name.empty())
            break;
        long cardType = static_cast<long>(::GetPrivateProfileIntW(section.c_str(), L"CardType", 0, path.c_str()));
        settings.devices.push_back({name, cardType, {}});
    }
    if (settings.devices.empty())
        settings.devices = BuiltInDevices();

    std::wstring scriptFile = ProfileString(path, L"Script", L"File");
    if (scriptFile.empty())
        return settings;
    settings.loop = ::GetPrivateProfileIntW(L"Script", L"Loop", 0, path.c_str()) != 0;
    std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    std::ifstream file(std::filesystem::path(scriptFile.find(L':') == std::wstring::npos ? folder + scriptFile
                                                                                           : scriptFile));
    if (!file) {
        settings.result = -1;
        return settings;
    }
    std::string text(kMaxScriptBytes, '\0');
    file.read(text.data(), kMaxScriptBytes);
    text.resize(static_cast<std::size_t>(file.gcount()));
    settings.script = std::move(text);
    return settings;
}

struct Simulator {
    explicit Simulator(const std::wstring& settingsPath)
    {
        Reset();
        Apply(ReadSettings(settingsPath));
    }

    void Reset()
    {
        devices = BuiltInDevices();
        codes.clear();
        script.Stop();
        long alive = stats.objectsAlive;
        stats = SimStats{};
        stats.objectsAlive = alive;  // objects outlive a reset
        stats.lastSelectedDevice = -1;
        hook = nullptr;
        hookContext = nullptr;
        handOutHook = nullptr;
        handOutContext = nullptr;
    }

    int Apply(Settings settings)
    {
        devices = std::move(settings.devices);
        if (settings.result != 0 || settings.script.empty())
            return settings.result;
        ScriptParse parse = ParseCodeScript(settings.script);
        if (!parse.script)
            return parse.badLine;
        script.Play(std::move(*parse.script), settings.loop);
        return 0;
    }

    long CardTypeOf(unsigned long index) const { return index < devices.size() ? devices[index].cardType : 0; }

    std::mutex mutex;
    std::vector<Device> devices;
    std::deque<unsigned char> codes;
    ScriptPlayer script;
    SimStats stats = {};
    void (*hook)(void*) = nullptr;
    void* hookContext = nullptr;
    void (*handOutHook)(unsigned char, void*) = nullptr;
    void* handOutContext = nullptr;
};

Simulator& TheSimulator()
{
    // Beside this DLL, wherever the program that loaded it lies.
    static Simulator simulator(win::ModuleFolder(win::ModuleContaining(kSettingsFileName)) + kSettingsFileName);
    return simulator;
}

}  // namespace

// The vendor's members, with its calling convention and under its decorated
// names (wrapper/VendorAbi.h); pltremote.def exports them. The label carries
// the prefix that the compiler puts before every C name ("_" on x86, none on
// x64), as the .def file's names are taken to be C names.
// The constructor returns the object, as Microsoft's compiler makes every
// constructor do, so that a caller built by that compiler may rely on its
// return register.
// noexcept: a failure inside the simulator ends the process rather than
// unwinding into a caller that knows nothing of our exceptions.
#define LABEL_TEXT(prefix) #prefix
#define LABEL_PREFIX(prefix) LABEL_TEXT(prefix)
#define MEMBER(decorated) noexcept __asm__("\"" LABEL_PREFIX(__USER_LABEL_PREFIX__) decorated "\"")
extern "C" {
Object* CPLTREMOTE_MEMBER Construct(Object* self) MEMBER(CPLTREMOTE_CONSTRUCTOR);
void CPLTREMOTE_MEMBER Destruct(Object* self) MEMBER(CPLTREMOTE_DESTRUCTOR);
long CPLTREMOTE_MEMBER GetCode(Object* self, unsigned char* code) MEMBER(CPLTREMOTE_GETCODE);
char* CPLTREMOTE_MEMBER GetDeviceName(Object* self, unsigned long index) MEMBER(CPLTREMOTE_GETDEVICENAME);
long CPLTREMOTE_MEMBER SelectDevice(Object* self, unsigned long index) MEMBER(CPLTREMOTE_SELECTDEVICE);
}

Object* Construct(Object* self) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    self->chipTypeTM = 0;
    self->cardType = simulator.CardTypeOf(0);
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

long GetCode(Object* self, unsigned char* code) noexcept
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

    std::optional<std::uint8_t> next;
    void (*handOutHook)(unsigned char, void*);
    void* handOutContext;
    {
        std::lock_guard lock(simulator.mutex);
        ++simulator.stats.getCodeCalls;
        simulator.stats.chipTypeAtGetCode = self->chipTypeTM;
        if (!simulator.codes.empty()) {
            next = simulator.codes.front();
            simulator.codes.pop_front();
        } else {
            next = simulator.script.Take(NowMs());
        }
        handOutHook = simulator.handOutHook;
        handOutContext = simulator.handOutContext;
    }
    if (!next) {
        *code = 255;
        return 1;
    }
    if (handOutHook)
        handOutHook(*next, handOutContext);
    *code = *next;
    return 0;
}

char* GetDeviceName(Object*, unsigned long index) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    if (index >= simulator.devices.size())
        return nullptr;
    Device& device = simulator.devices[index];
    device.buffer = device.name;
    return device.buffer.data();
}

long SelectDevice(Object* self, unsigned long index) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    ++simulator.stats.selectDeviceCalls;
    simulator.stats.lastSelectedDevice = static_cast<long>(index);
    simulator.stats.chipTypeAtSelect = self->chipTypeTM;
    self->cardType = simulator.CardTypeOf(index);
    return index < simulator.devices.size() ? 0 : 1;
}

extern "C" {

void SimReset() noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    simulator.Reset();
}

int SimLoadSettings(const wchar_t* iniPath) noexcept
{
    Settings settings = ReadSettings(iniPath);
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    return simulator.Apply(std::move(settings));
}

void SimSetDevices(const char* const* names, const long* cardTypes, int count) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    simulator.devices.clear();
    for (int i = 0; i < count; ++i)
        simulator.devices.push_back({names[i], cardTypes ? cardTypes[i] : 0, {}});
}

const char* SimDeviceNameBuffer(int index) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    if (index < 0 || static_cast<std::size_t>(index) >= simulator.devices.size())
        return nullptr;
    return simulator.devices[index].buffer.c_str();
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

int SimPlayScript(const char* text, int loop) noexcept
{
    ScriptParse parse = ParseCodeScript(text);
    if (!parse.script)
        return parse.badLine;
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    simulator.script.Play(std::move(*parse.script), loop != 0);
    return 0;
}

int SimScriptPlaying() noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    return simulator.script.Playing(NowMs()) ? 1 : 0;
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

void SimSetHandOutHook(void (*hook)(unsigned char, void*), void* context) noexcept
{
    Simulator& simulator = TheSimulator();
    std::lock_guard lock(simulator.mutex);
    simulator.handOutHook = hook;
    simulator.handOutContext = context;
}

}  // extern "C"
