#pragma once
// Move-only owners of Win32 handles: one small class per kind of handle, so
// that nothing is closed by hand and nothing leaks on an early return.

#include <windows.h>

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

// A user-interface object that no window frees: a font or an icon that a
// window only borrows, released once no window uses it any more.
template <typename T, typename Release>
class UiObject {
public:
    constexpr UiObject() noexcept = default;
    explicit UiObject(T object) noexcept : object_(object) {}
    UiObject(UiObject&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    UiObject& operator=(UiObject&& other) noexcept
    {
        std::swap(object_, other.object_);
        return *this;
    }
    UiObject(const UiObject&) = delete;
    UiObject& operator=(const UiObject&) = delete;
    ~UiObject()
    {
        if (object_)
            Release{}(object_);
    }

    T Get() const noexcept { return object_; }

private:
    T object_ = nullptr;
};

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const noexcept { ::DeleteObject(object); }
};
struct DestroyIconObject {
    void operator()(HICON icon) const noexcept { ::DestroyIcon(icon); }
};

using Font = UiObject<HFONT, DeleteGdiObject>;
// An icon loaded without LR_SHARED, which its loader must destroy.
using Icon = UiObject<HICON, DestroyIconObject>;

// A directory search begun with FindFirstFileA and ended with FindClose.
class FindHandle {
public:
    // Takes FindFirstFileA's result; INVALID_HANDLE_VALUE makes an empty owner.
    explicit FindHandle(HANDLE search) noexcept : search_(search == INVALID_HANDLE_VALUE ? nullptr : search) {}
    FindHandle(FindHandle&& other) noexcept : search_(std::exchange(other.search_, nullptr)) {}
    FindHandle& operator=(FindHandle&& other) noexcept
    {
        std::swap(search_, other.search_);
        return *this;
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle()
    {
        if (search_)
            ::FindClose(search_);
    }

    HANDLE Get() const noexcept { return search_; }
    explicit operator bool() const noexcept { return search_ != nullptr; }

private:
    HANDLE search_ = nullptr;
};

}  // namespace win
