#pragma once
// Message maps: a window's routing is a short table from a window message, a command id (range)
// or a notification to one member handler. The first matching entry handles the message;
// a handler may still decline (return kDefault) and leave the message to the default handling.

#include "win32/win32.h"

#include <optional>
#include <span>

namespace brenvik::framework {

struct Message {
    HWND window;
    UINT id;
    WPARAM wParam;
    LPARAM lParam;

    // WM_COMMAND: the command or control id and the notification code. Menu commands and
    // accelerators both count as notification 0, like a button click.
    UINT commandId() const { return LOWORD(wParam); }
    UINT notifyCode() const { return lParam == 0 ? 0 : HIWORD(wParam); }
    HWND control() const { return reinterpret_cast<HWND>(lParam); }
    // WM_NOTIFY
    const NMHDR& notifyHeader() const { return *reinterpret_cast<const NMHDR*>(lParam); }
};

// The handler's result for the message, or nothing to let the default handling run.
using Reply = std::optional<LRESULT>;
inline constexpr Reply kDefault = std::nullopt;

template <class Owner>
struct MessageEntry {
    enum class Kind { Message, Command, Notify };
    using Handler = Reply (Owner::*)(const Message&);

    Kind kind;
    UINT message; // Kind::Message
    UINT code;    // notification code of Command and Notify entries
    UINT firstId;
    UINT lastId;
    Handler handler;

    bool matches(const Message& m) const {
        switch (kind) {
        case Kind::Message:
            return m.id == message;
        case Kind::Command:
            return m.id == WM_COMMAND && m.notifyCode() == code && m.commandId() >= firstId &&
                   m.commandId() <= lastId;
        case Kind::Notify:
            return m.id == WM_NOTIFY && m.notifyHeader().code == code &&
                   m.notifyHeader().idFrom >= firstId && m.notifyHeader().idFrom <= lastId;
        }
        return false;
    }
};

// A window message, e.g. WM_SYSCOMMAND.
template <class Owner>
constexpr MessageEntry<Owner> onMessage(UINT message, Reply (Owner::*handler)(const Message&)) {
    return {MessageEntry<Owner>::Kind::Message, message, 0, 0, 0, handler};
}

// A menu command, accelerator or button click with the given id.
template <class Owner>
constexpr MessageEntry<Owner> onCommand(UINT id, Reply (Owner::*handler)(const Message&)) {
    return {MessageEntry<Owner>::Kind::Command, 0, 0, id, id, handler};
}

// A control notification sent through WM_COMMAND (e.g. EN_KILLFOCUS) from controls first..last.
template <class Owner>
constexpr MessageEntry<Owner> onControlNotify(UINT code, UINT firstId, UINT lastId,
                                              Reply (Owner::*handler)(const Message&)) {
    return {MessageEntry<Owner>::Kind::Command, 0, code, firstId, lastId, handler};
}

// A notification sent through WM_NOTIFY from controls first..last.
template <class Owner>
constexpr MessageEntry<Owner> onNotify(UINT code, UINT firstId, UINT lastId,
                                       Reply (Owner::*handler)(const Message&)) {
    return {MessageEntry<Owner>::Kind::Notify, 0, code, firstId, lastId, handler};
}

template <class Owner>
Reply dispatch(Owner& owner, std::span<const MessageEntry<Owner>> map, const Message& message) {
    for (const auto& entry : map) {
        if (entry.matches(message)) {
            return (owner.*entry.handler)(message);
        }
    }
    return kDefault;
}

} // namespace brenvik::framework
