#include <gtest/gtest.h>

#include <set>

#include "app/CommandIds.h"
#include "app/CommandRouter.h"
#include "app/CommandTable.h"

namespace kv {
namespace {

using namespace CommandIds;

TEST(CommandTable, EveryCommandStandsOnceAndHasAnAccessibleName) {
    std::set<int> seen;
    for (const Menu& menu : MainMenu()) {
        EXPECT_FALSE(AccessibleText(menu.title).empty());
        for (const MenuEntry& entry : menu.entries) {
            if (entry.kind == CommandKind::Separator || entry.kind == CommandKind::RecentFiles) continue;
            EXPECT_TRUE(seen.insert(entry.id).second) << entry.text;
            EXPECT_FALSE(AccessibleText(entry.text).empty()) << entry.text;
            EXPECT_FALSE(entry.prompt.empty()) << entry.text;
            // A shown accelerator is the one the entry carries.
            const size_t tab = entry.text.find('\t');
            EXPECT_EQ(tab == std::string_view::npos ? std::string_view{} : entry.text.substr(tab + 1), entry.accelerator)
                << entry.text;
        }
    }
}

TEST(CommandTable, AccessibleTextDropsMnemonicAcceleratorColonAndEllipsis) {
    EXPECT_EQ(AccessibleText("&Open...\tCtrl+O"), "Open");
    EXPECT_EQ(AccessibleText("Resize and &Save...\tCtrl+S"), "Resize and Save");
    EXPECT_EQ(AccessibleText("Edit p&rint size"), "Edit print size");
    EXPECT_EQ(AccessibleText("Width:"), "Width");
    EXPECT_EQ(AccessibleText("Fish && Chips"), "Fish & Chips");
}

TEST(CommandTable, ButtonSetsFollowTheirLayouts) {
    const auto ids = [](ToolbarSet set) {
        std::vector<int> out;
        for (const ToolbarButton& button : ToolbarButtons(set)) out.push_back(button.id);
        return out;
    };
    EXPECT_EQ(ids(ToolbarSet::Single),
              (std::vector<int>{ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_BATCH_MODE, 0, ID_VIEW_PREVIOUS, ID_VIEW_NEXT}));
    EXPECT_EQ(ids(ToolbarSet::Batch), (std::vector<int>{ID_FILE_OPEN, ID_BROWSE, 0, ID_BATCH_MODE, 0, ID_BATCH_REMOVE, 0,
                                                        ID_BATCH_RUN, 0, ID_VIEW_PREVIOUS, ID_VIEW_NEXT, 0, ID_VIEW_ICONS}));
    EXPECT_EQ(ids(ToolbarSet::Browse), (std::vector<int>{ID_BROWSE_DONE, 0, ID_BATCH_REMOVE, 0, ID_VIEW_ICONS}));
    // A command keeps its button text in every set it appears in.
    std::map<int, std::string_view> texts;
    for (ToolbarSet set : {ToolbarSet::Single, ToolbarSet::Batch, ToolbarSet::Browse})
        for (const ToolbarButton& button : ToolbarButtons(set))
            if (button.id && !texts.emplace(button.id, button.text).second) EXPECT_EQ(texts[button.id], button.text);
}

class FakeHandler final : public ICommandHandler {
public:
    FakeHandler(std::set<int> handled, bool enabled) : handled_(std::move(handled)), enabled_(enabled) {}
    std::optional<CommandState> QueryCommand(int id) const override {
        if (!handled_.count(id)) return std::nullopt;
        return CommandState{enabled_, id == 1};
    }
    void RunCommand(int id) override { ran.push_back(id); }
    std::vector<int> ran;

private:
    std::set<int> handled_;
    bool enabled_;
};

TEST(CommandRouter, TheFirstHandlerDecidesAndUnhandledCommandsAreDisabled) {
    FakeHandler first({1, 2}, false);
    FakeHandler second({2, 3}, true);
    CommandRouter router;
    router.SetHandlers({&first, &second});

    EXPECT_EQ(router.StateOf(1), (CommandState{false, true}));
    EXPECT_EQ(router.StateOf(3), (CommandState{true, false}));
    EXPECT_EQ(router.StateOf(4), (CommandState{false, false}));
    // 2 belongs to the first handler, which has it disabled: the second never sees it.
    EXPECT_FALSE(router.Execute(2));
    EXPECT_TRUE(router.Execute(3));
    EXPECT_FALSE(router.Execute(4));
    EXPECT_TRUE(first.ran.empty());
    EXPECT_EQ(second.ran, std::vector<int>{3});
}

}  // namespace
}  // namespace kv
