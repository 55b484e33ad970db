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

// A GDI font, deleted with DeleteObject once no window uses it any more.
class Font {
public:
    constexpr Font() noexcept = default;
    explicit Font(HFONT font) noexcept : font_(font) {}
    Font(Font&& other) noexcept : font_(std::exchange(other.font_, nullptr)) {}
    Font& operator=(Font&& other) noexcept
    {
        std::swap(font_, other.font_);
        return *this;
    }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font()
    {
        if (font_)
            ::DeleteObject(font_);
    }

    HFONT Get() const noexcept { return font_; }

private:
    HFONT font_ = nullptr;
};

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
