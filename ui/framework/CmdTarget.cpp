#include "ui/framework/CmdTarget.h"

namespace kestrin {

const MessageMap& CCmdTarget::GetMessageMap() const
{
    static const MessageMap kMap { nullptr, {} };
    return kMap;
}

bool CCmdTarget::OnCmdMsg(int id, int code)
{
    return Dispatch({ Message::Command, id, code });
}

bool CCmdTarget::Dispatch(const MessageArgs& args)
{
    // Commands and notifications match on id and code; the other messages on their kind alone.
    const bool byId = args.message == Message::Command || args.message == Message::Notify;
    for (const MessageMap* map = &GetMessageMap(); map != nullptr; map = map->base) {
        for (const MessageMapEntry& entry : map->entries) {
            if (entry.message == args.message
                && (!byId || (entry.id == args.id && entry.code == args.code))) {
                entry.thunk(*this, args);
                return true;
            }
        }
    }
    return false;
}

} // namespace kestrin
