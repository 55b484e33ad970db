#pragma once

#include <windows.h>

namespace win {

// Waits without time limit for object, delivering the messages that other
// threads send to this thread's windows meanwhile. A thread that waits for a
// worker inside SendMessage to one of its own windows would otherwise wait
// forever. MWMO_INPUTAVAILABLE also wakes for a send that this thread has
// already seen in its queue (hosts look at their queues all the time).
inline void WaitDeliveringSentMessages(HANDLE object)
{
    while (::MsgWaitForMultipleObjectsEx(1, &object, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace win
