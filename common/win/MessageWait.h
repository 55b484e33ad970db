#pragma once

#include <windows.h>

namespace win {

// Waits without time limit for object, delivering the messages that other
// threads send to this thread's windows meanwhile. A thread that waits for a
// worker inside SendMessage to one of its own windows would otherwise wait
// forever. MWMO_INPUTAVAILABLE also wakes for a send that this thread has
// already seen in its queue (hosts look at their queues all the time).
// Sends that arrived just before the object was signalled are delivered too.
inline void WaitDeliveringSentMessages(HANDLE object)
{
    MSG message;
    while (::MsgWaitForMultipleObjectsEx(1, &object, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE) ==
           WAIT_OBJECT_0 + 1)
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

// Sends a message and waits until the window procedure has returned, as
// SendMessage does, but stops waiting as soon as stop is signalled. The
// receiving thread may itself be waiting for the sender to stop (a host that
// stops the plug-in from inside its handler of the message), and with a plain
// SendMessage each would wait for the other for good. Returns false when the
// message could not be sent at all; a send whose wait was given up still
// reaches the window when its thread next takes sent messages.
//
// The completion arrives as a callback on this thread's queue, counted in
// completed; sent counts the sends. Both belong to the caller and must
// outlive every send that it gave up on, and the caller must not send again
// once stop is signalled.
struct SendCounter {
    unsigned long sent = 0;
    unsigned long completed = 0;
};

inline void CALLBACK CountCompletedSend(HWND, UINT, ULONG_PTR context, LRESULT)
{
    ++reinterpret_cast<SendCounter*>(context)->completed;
}

inline bool SendMessageUntil(HWND window, UINT message, WPARAM wParam, LPARAM lParam, HANDLE stop,
                             SendCounter& counter)
{
    if (!::SendMessageCallbackA(window, message, wParam, lParam, &CountCompletedSend,
                                reinterpret_cast<ULONG_PTR>(&counter)))
        return false;
    ++counter.sent;
    while (counter.completed != counter.sent) {
        if (::MsgWaitForMultipleObjectsEx(1, &stop, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) != WAIT_OBJECT_0 + 1)
            break;
        MSG pending;
        while (::PeekMessageA(&pending, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&pending);
    }
    return true;
}

}  // namespace win
