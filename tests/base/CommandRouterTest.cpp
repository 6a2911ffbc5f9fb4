#include "base/CommandRouter.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace kv {
namespace {

// A stop that handles some commands, in a given state, and records what it runs.
class Stop final : public ICommandHandler {
public:
    Stop(std::string name, std::set<int> ids, std::vector<std::string>& log)
        : name_(std::move(name)), ids_(std::move(ids)), log_(log) {}
    bool HandlesCommand(int id) const override { return ids_.count(id) != 0; }
    CommandState CommandStateOf(int id) const override { return {!disabled.count(id), checked.count(id) != 0}; }
    void OnCommand(int id) override { log_.push_back(name_ + " " + std::to_string(id)); }

    std::set<int> disabled;
    std::set<int> checked;

private:
    std::string name_;
    std::set<int> ids_;
    std::vector<std::string>& log_;
};

TEST(CommandRouterTest, ACommandGoesToTheFirstStopThatHandlesIt) {
    std::vector<std::string> log;
    Stop browse("browse", {1, 2}, log), frame("frame", {2, 3, 4}, log), app("app", {4, 5}, log);
    CommandRouter router;
    router.SetHandler(CommandRoute::App, &app);
    router.SetHandler(CommandRoute::Frame, &frame);
    router.SetHandler(CommandRoute::BrowseWindow, &browse);
    for (int id : {1, 2, 3, 4, 5}) EXPECT_TRUE(router.Execute(id));
    EXPECT_EQ(log, (std::vector<std::string>{"browse 1", "browse 2", "frame 3", "frame 4", "app 5"}));

    // Without the browse window its commands fall through to the next stop that takes them.
    router.SetHandler(CommandRoute::BrowseWindow, nullptr);
    EXPECT_EQ(router.HandlerOf(2), &frame);
    EXPECT_EQ(router.HandlerOf(1), nullptr);
}

TEST(CommandRouterTest, StatesComeFromTheHandlerAndACommandWithoutOneIsDisabled) {
    std::vector<std::string> log;
    Stop view("view", {7, 8}, log);
    view.disabled = {7};
    view.checked = {8};
    CommandRouter router;
    router.SetHandler(CommandRoute::View, &view);
    EXPECT_EQ(router.StateOf(7), (CommandState{false, false}));
    EXPECT_EQ(router.StateOf(8), (CommandState{true, true}));
    EXPECT_EQ(router.StateOf(9), (CommandState{false, false}));
    // A disabled command does not run, from a key no more than from a grey menu entry.
    EXPECT_FALSE(router.Execute(7));
    EXPECT_FALSE(router.Execute(9));
    EXPECT_TRUE(router.Execute(8));
    EXPECT_EQ(log, std::vector<std::string>{"view 8"});

    // The first stop that handles a command decides, also when it disables it: a later stop that
    // handles it too never runs it.
    Stop app("app", {7}, log);
    router.SetHandler(CommandRoute::App, &app);
    EXPECT_EQ(router.StateOf(7), (CommandState{false, false}));
    EXPECT_FALSE(router.Execute(7));
    EXPECT_EQ(log, std::vector<std::string>{"view 8"});
}

}  // namespace
}  // namespace kv
