#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kv {

// What the handler of a command says about it while menus and the toolbar are shown.
struct CommandState {
    bool enabled = true;
    bool checked = false;
    bool operator==(const CommandState&) const = default;
};

// One stop of the frame's command routing: the browse window, the settings bar, the frame, the
// view, the document or the application.
class ICommandHandler {
public:
    // Whether this handler takes the command; routing stops at the first that does.
    virtual bool HandlesCommand(int id) const = 0;
    // Asked only for a command it handles.
    virtual CommandState CommandStateOf(int id) const {
        (void)id;
        return {};
    }
    virtual void OnCommand(int id) = 0;

protected:
    ~ICommandHandler() = default;
};

// The stops in the order the frame routes a command through them. The browse window comes first
// while it exists, so that the browser's own commands reach it.
enum class CommandRoute : uint8_t { BrowseWindow, ResizeBar, Frame, View, Document, App };
inline constexpr size_t kCommandRouteCount = 6;

// Routes menu, toolbar and accelerator commands to their handlers, without a window: each command
// goes to the first handler present, in the routing order, that handles it. A command nobody
// handles is shown disabled and does nothing; so does one its handler disables.
class CommandRouter {
public:
    // Puts a handler at a stop, or takes it away with nullptr (a browse window that closes).
    void SetHandler(CommandRoute route, ICommandHandler* handler);

    // The handler that takes the command, or null.
    ICommandHandler* HandlerOf(int id) const;
    // Enabled and checked as the handler says; disabled and unchecked without one.
    CommandState StateOf(int id) const;
    // Runs the command when it is enabled; false when it was not run.
    bool Execute(int id);

private:
    std::array<ICommandHandler*, kCommandRouteCount> handlers_{};
};

}  // namespace kv
