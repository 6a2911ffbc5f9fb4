#include "base/CommandRouter.h"

namespace kv {

void CommandRouter::SetHandler(CommandRoute route, ICommandHandler* handler) {
    handlers_[static_cast<size_t>(route)] = handler;
}

ICommandHandler* CommandRouter::HandlerOf(int id) const {
    for (ICommandHandler* handler : handlers_)
        if (handler && handler->HandlesCommand(id)) return handler;
    return nullptr;
}

CommandState CommandRouter::StateOf(int id) const {
    const ICommandHandler* handler = HandlerOf(id);
    return handler ? handler->CommandStateOf(id) : CommandState{false, false};
}

bool CommandRouter::Execute(int id) {
    ICommandHandler* handler = HandlerOf(id);
    if (!handler || !handler->CommandStateOf(id).enabled) return false;
    handler->OnCommand(id);
    return true;
}

}  // namespace kv
