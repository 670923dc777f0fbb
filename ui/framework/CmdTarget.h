#pragma once

#include <cstdint>
#include <span>

namespace kestrin {

class CCmdTarget;

// What a window or the application object can be sent.
enum class Message {
    Command, // a command: button click, OK, Cancel, Help; carries an id and a code
    Notify, // a control's notification: the control's id and the notification code
    SysCommand, // a system-menu command: its id
    Close, // the title bar's close button
    Destroy, // the window is being destroyed
};

// Notification codes.
inline constexpr int kBnClicked = 0;
inline constexpr int kNmReleasedCapture = -16;

// System-menu commands of the platform.
inline constexpr unsigned kScMinimize = 0xF020;
inline constexpr unsigned kScClose = 0xF060;

// What DoModal returns: the value given to EndDialog.
using LResult = std::intptr_t;

struct MessageArgs {
    Message message = Message::Command;
    int id = 0;
    int code = 0;
};

// What a notification handler is told: which control sent it, and what happened.
struct NotifyHeader {
    int idFrom = 0;
    int code = 0;
};

using MessageThunk = void (*)(CCmdTarget& target, const MessageArgs& args);

struct MessageMapEntry {
    Message message;
    int id; // commands and notifications only
    int code; // commands and notifications only
    MessageThunk thunk;
};

// One class's table, linked to its base class's table.
struct MessageMap {
    const MessageMap* base;
    std::span<const MessageMapEntry> entries;
};

// An object with a message map: a message goes to the first matching entry of its own class's
// table, then of its base classes' tables; Dispatch reports whether one took it, so that the
// caller can give it the default processing. Maps are declared by overriding GetMessageMap:
//
//     const MessageMap& CMyDlg::GetMessageMap() const
//     {
//         static constexpr MessageMapEntry kEntries[] = {
//             OnBnClicked<&CMyDlg::OnGo>(IDC_GO),
//             OnNotify<&CMyDlg::OnReleasedGap>(kNmReleasedCapture, IDC_GAP_SLIDER),
//         };
//         static const MessageMap kMap { &CDialog::GetMessageMap(), kEntries };
//         return kMap;
//     }
class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Runs the handler of this command, if there is one; false when none took it.
    virtual bool OnCmdMsg(int id, int code);

    virtual const MessageMap& GetMessageMap() const;

protected:
    // Runs the handler of the first matching entry; false when there is none.
    bool Dispatch(const MessageArgs& args);
};

namespace message_map_detail {
template <typename> struct MemberOf;
template <typename C, typename R, typename... A> struct MemberOf<R (C::*)(A...)> {
    using Class = C;
};
template <auto Handler> using ClassOf = typename MemberOf<decltype(Handler)>::Class;
} // namespace message_map_detail

// Entries of a message map; Handler is a member function of the class or of a base class.

// A command with code kBnClicked: void Handler().
template <auto Handler> constexpr MessageMapEntry OnCommand(int id)
{
    using T = message_map_detail::ClassOf<Handler>;
    return { Message::Command, id, kBnClicked,
        [](CCmdTarget& t, const MessageArgs&) { (static_cast<T&>(t).*Handler)(); } };
}

// A push button's click: void Handler().
template <auto Handler> constexpr MessageMapEntry OnBnClicked(int id)
{
    return OnCommand<Handler>(id);
}

// A control's notification: void Handler(const NotifyHeader&).
template <auto Handler> constexpr MessageMapEntry OnNotify(int code, int id)
{
    using T = message_map_detail::ClassOf<Handler>;
    return { Message::Notify, id, code, [](CCmdTarget& t, const MessageArgs& args) {
                (static_cast<T&>(t).*Handler)(NotifyHeader { args.id, args.code });
            } };
}

// Every system command: void Handler(unsigned id).
template <auto Handler> constexpr MessageMapEntry OnSysCommandMessage()
{
    using T = message_map_detail::ClassOf<Handler>;
    return { Message::SysCommand, 0, 0, [](CCmdTarget& t, const MessageArgs& args) {
                (static_cast<T&>(t).*Handler)(static_cast<unsigned>(args.id));
            } };
}

// The close button: void Handler().
template <auto Handler> constexpr MessageMapEntry OnCloseMessage()
{
    using T = message_map_detail::ClassOf<Handler>;
    return { Message::Close, 0, 0,
        [](CCmdTarget& t, const MessageArgs&) { (static_cast<T&>(t).*Handler)(); } };
}

// The window's destruction: void Handler().
template <auto Handler> constexpr MessageMapEntry OnDestroyMessage()
{
    using T = message_map_detail::ClassOf<Handler>;
    return { Message::Destroy, 0, 0,
        [](CCmdTarget& t, const MessageArgs&) { (static_cast<T&>(t).*Handler)(); } };
}

} // namespace kestrin
