#include "app/CommandRouter.h"

namespace kv {

ICommandHandler* CommandRouter::HandlerOf(int id, CommandState* state) const {
    for (ICommandHandler* handler : handlers_) {
        if (const std::optional<CommandState> answer = handler->QueryCommand(id)) {
            *state = *answer;
            return handler;
        }
    }
    return nullptr;
}

CommandState CommandRouter::StateOf(int id) const {
    CommandState state;
    if (!HandlerOf(id, &state)) return CommandState{false, false};
    return state;
}

bool CommandRouter::Execute(int id) {
    CommandState state;
    ICommandHandler* handler = HandlerOf(id, &state);
    if (!handler || !state.enabled) return false;
    handler->RunCommand(id);
    return true;
}

}  // namespace kv
