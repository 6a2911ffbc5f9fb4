#pragma once

#include <optional>
#include <vector>

// Routes a menu or toolbar command to the first part of the window that handles it, and asks the
// same part whether the command is enabled or checked. A command nobody handles is disabled.
namespace kv {

struct CommandState {
    bool enabled = true;
    bool checked = false;
    bool operator==(const CommandState&) const = default;
};

class ICommandHandler {
public:
    // The command's state when this handler handles it, nothing otherwise.
    virtual std::optional<CommandState> QueryCommand(int id) const = 0;
    // Carries the command out; called only for a command QueryCommand answered as enabled.
    virtual void RunCommand(int id) = 0;

protected:
    ~ICommandHandler() = default;
};

class CommandRouter {
public:
    // Handlers in routing order (settings bar, frame, view, document, application).
    void SetHandlers(std::vector<ICommandHandler*> handlers) { handlers_ = std::move(handlers); }

    CommandState StateOf(int id) const;
    // Runs the command in its handler when it is enabled; false when nobody ran it.
    bool Execute(int id);

private:
    ICommandHandler* HandlerOf(int id, CommandState* state) const;

    std::vector<ICommandHandler*> handlers_;
};

}  // namespace kv
