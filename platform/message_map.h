// One table per window class: which member handles which message and which command.
#pragma once

#include <windows.h>

#include <cstddef>

// Each entry's handler is a captureless lambda or function that cracks the message's arguments and
// calls a small named member with typed arguments. Commands name a control id and a notification.
template <class T>
struct MessageMap {
    struct Message {
        UINT message;
        LRESULT (*handler)(T& self, WPARAM wParam, LPARAM lParam);
    };
    struct Command {
        UINT id;
        UINT code;
        void (T::*handler)();
    };

    const Message* messages;
    size_t messageCount;
    const Command* commands;
    size_t commandCount;

    // True when the table handled the message; result is then the handler's answer.
    bool Dispatch(T& self, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const
    {
        if (message == WM_COMMAND) {
            for (size_t i = 0; i < commandCount; ++i) {
                const Command& c = commands[i];
                if (c.id == LOWORD(wParam) && c.code == HIWORD(wParam)) {
                    (self.*c.handler)();
                    result = 0;
                    return true;
                }
            }
        }
        for (size_t i = 0; i < messageCount; ++i) {
            if (messages[i].message == message) {
                result = messages[i].handler(self, wParam, lParam);
                return true;
            }
        }
        return false;
    }
};
