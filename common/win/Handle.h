#pragma once
// Move-only owners of Win32 handles: one small class per kind of handle, so
// that nothing is closed by hand and nothing leaks on an early return.

#include <windows.h>

#include <string>
#include <utility>

namespace win {

// A kernel object handle closed with CloseHandle.
class Handle {
public:
    constexpr Handle() noexcept = default;
    explicit Handle(HANDLE handle) noexcept : handle_(handle) {}
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept
    {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }

    HANDLE Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

    void Close() noexcept
    {
        if (handle_) {
            ::CloseHandle(handle_);
            handle_ = nullptr;
        }
    }

private:
    HANDLE handle_ = nullptr;
};

// An unnamed event.
class Event : public Handle {
public:
    constexpr Event() noexcept = default;

    static Event CreateManualReset() noexcept { return Event(::CreateEventA(nullptr, TRUE, FALSE, nullptr)); }

    bool Set() const noexcept { return ::SetEvent(Get()) != FALSE; }
    bool Reset() const noexcept { return ::ResetEvent(Get()) != FALSE; }
    DWORD Wait(DWORD timeoutMs) const noexcept { return ::WaitForSingleObject(Get(), timeoutMs); }
    bool IsSet() const noexcept { return Wait(0) == WAIT_OBJECT_0; }

private:
    explicit Event(HANDLE handle) noexcept : Handle(handle) {}
};

// A thread started at once with default security and stack size.
class Thread : public Handle {
public:
    constexpr Thread() noexcept = default;

    static Thread Start(LPTHREAD_START_ROUTINE procedure, void* argument = nullptr) noexcept
    {
        return Thread(::CreateThread(nullptr, 0, procedure, argument, 0, nullptr));
    }

    DWORD Wait(DWORD timeoutMs) const noexcept { return ::WaitForSingleObject(Get(), timeoutMs); }

private:
    explicit Thread(HANDLE handle) noexcept : Handle(handle) {}
};

// An object released by a function of its own kind rather than CloseHandle:
// a font or an icon that windows only borrow, a directory search.
template <typename T, typename Release>
class Owned {
public:
    constexpr Owned() noexcept = default;
    explicit Owned(T object) noexcept : object_(object) {}
    Owned(Owned&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept
    {
        std::swap(object_, other.object_);
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned()
    {
        if (object_)
            Release{}(object_);
    }

    T Get() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

private:
    T object_ = nullptr;
};

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const noexcept { ::DeleteObject(object); }
};
struct DestroyIconObject {
    void operator()(HICON icon) const noexcept { ::DestroyIcon(icon); }
};
struct CloseFind {
    void operator()(HANDLE search) const noexcept { ::FindClose(search); }
};
struct FreeModule {
    void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
};

using Font = Owned<HFONT, DeleteGdiObject>;
// An icon loaded without LR_SHARED, which its loader must destroy.
using Icon = Owned<HICON, DestroyIconObject>;
using FindHandle = Owned<HANDLE, CloseFind>;
// A library loaded with LoadLibrary.
using Module = Owned<HMODULE, FreeModule>;

// Begins a directory search; an empty owner when nothing matches pattern.
inline FindHandle FindFirst(const std::string& pattern, WIN32_FIND_DATAA& entry) noexcept
{
    HANDLE search = ::FindFirstFileA(pattern.c_str(), &entry);
    return FindHandle(search == INVALID_HANDLE_VALUE ? nullptr : search);
}

}  // namespace win
