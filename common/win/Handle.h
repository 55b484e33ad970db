#pragma once
// Move-only owners of Win32 handles, so that nothing is closed by hand and
// nothing leaks on an early return.
//
// Every kind shares one owner template and so one rule: an owner closes what
// it holds when it dies, on Close, and when another owner is moved into it
// (the old handle is gone at once, not whenever some temporary dies). What
// differs between kinds lies in their traits: the close function, and the
// value that means "no handle". Windows is not consistent there: CreateEvent
// or CreateThread fail with null, while CreateFile, CreateNamedPipe and
// FindFirstFile fail with INVALID_HANDLE_VALUE, which for the first group is
// a real handle (the current process's pseudo handle). So each kind knows its
// own failure value, and a failed creator's result goes straight into its
// owner, which then reads as empty; no call site maps one value to the other.
// Null is no handle of any kind, so it reads as empty in every kind too.

#include <windows.h>

#include <string>
#include <utility>

namespace win {

template <typename Traits>
class Owner {
public:
    using Value = typename Traits::Value;

    constexpr Owner() noexcept : value_(Traits::Invalid()) {}
    explicit Owner(Value value) noexcept : value_(value) {}
    Owner(Owner&& other) noexcept : value_(std::exchange(other.value_, Traits::Invalid())) {}
    Owner& operator=(Owner&& other) noexcept
    {
        if (this != &other) {
            Close();
            value_ = std::exchange(other.value_, Traits::Invalid());
        }
        return *this;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    ~Owner() { Close(); }

    Value Get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != nullptr && value_ != Traits::Invalid(); }

    void Close() noexcept
    {
        if (*this)
            Traits::Close(value_);
        value_ = Traits::Invalid();
    }

    // Gives up ownership: the value is never closed by this owner.
    Value Detach() noexcept { return std::exchange(value_, Traits::Invalid()); }

private:
    Value value_;
};

// The traits of a kind whose creator fails with null, closed by close.
template <typename T, auto close>
struct NullOnFailure {
    using Value = T;
    static constexpr T Invalid() noexcept { return nullptr; }
    static void Close(T value) noexcept { close(value); }
};

// The traits of a kind whose creator fails with INVALID_HANDLE_VALUE.
template <auto close>
struct InvalidValueOnFailure {
    using Value = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE value) noexcept { close(value); }
};

// A kernel object whose creator fails with null: an event, a thread, a
// process, a waitable timer.
using Handle = Owner<NullOnFailure<HANDLE, ::CloseHandle>>;
// A kernel object whose creator fails with INVALID_HANDLE_VALUE: what
// CreateFile or CreateNamedPipe opens, a tool-help snapshot.
using File = Owner<InvalidValueOnFailure<::CloseHandle>>;
using FindHandle = Owner<InvalidValueOnFailure<::FindClose>>;
using ActivationContext = Owner<InvalidValueOnFailure<::ReleaseActCtx>>;
using Font = Owner<NullOnFailure<HFONT, ::DeleteObject>>;
// An icon loaded without LR_SHARED, which its loader must destroy.
using Icon = Owner<NullOnFailure<HICON, ::DestroyIcon>>;
// A library loaded with LoadLibrary.
using Module = Owner<NullOnFailure<HMODULE, ::FreeLibrary>>;

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

// Begins a directory search; an empty owner when nothing matches pattern.
inline FindHandle FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry) noexcept
{
    return FindHandle(::FindFirstFileW(pattern.c_str(), &entry));
}

}  // namespace win
