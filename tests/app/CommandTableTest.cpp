#include "app/CommandTable.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace kv {
namespace {

using namespace CommandId;

TEST(CommandTableTest, EveryCommandHasOneRowWithAReadableTextAndKey) {
    const std::regex key(
        R"re(((Ctrl|Shift|Alt)\+)*([A-Z0-9]|F[1-9]|F1[0-2]|Enter|Delete|Insert|Tab|Left|Right|Up|Down))re");
    std::set<int> seen;
    for (const CommandEntry& entry : CommandTable()) {
        if (entry.id == 0) {
            EXPECT_NE(entry.menu, Menu::None) << "a separator stands in a menu";
            EXPECT_TRUE(entry.text.empty() && entry.accelerator.empty());
            continue;
        }
        const std::string text(entry.text);
        EXPECT_TRUE(seen.insert(entry.id).second) << entry.id << " has two rows";
        EXPECT_FALSE(text.empty()) << entry.id;
        // At most one mnemonic, and it marks a letter.
        const size_t amp = text.find('&');
        if (amp != std::string::npos) {
            EXPECT_EQ(text.find('&', amp + 1), std::string::npos) << text;
            ASSERT_LT(amp + 1, text.size()) << text;
            EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(text[amp + 1]))) << text;
        }
        if (!entry.accelerator.empty()) {
            EXPECT_TRUE(std::regex_match(std::string(entry.accelerator), key)) << entry.accelerator;
        }
        // Whatever a user meets in a menu or on the toolbar says what it does, and has a name a
        // screen reader can announce.
        if (entry.menu != Menu::None || !ButtonText(entry.id).empty()) {
            EXPECT_FALSE(entry.prompt.empty()) << text;
            EXPECT_FALSE(AccessibleText(text).empty()) << text;
        }
        EXPECT_EQ(FindCommand(entry.id), &entry);
    }
    EXPECT_EQ(FindCommand(0), nullptr);
    EXPECT_EQ(FindCommand(12345), nullptr);
}

TEST(CommandTableTest, MenusShowTheirKeysAfterATab) {
    EXPECT_EQ(MenuText(*FindCommand(ID_FILE_OPEN)), "&Open...\tCtrl+O");
    EXPECT_EQ(MenuText(*FindCommand(ID_BATCH_RUN)), "&Run\tEnter");
    EXPECT_EQ(MenuText(*FindCommand(ID_HELP_TOPICS)), "&Help Topics\tF1");
    EXPECT_EQ(MenuText(*FindCommand(ID_BATCH_MODE)), "&Batch Mode");
}

TEST(CommandTableTest, AccessibleTextDropsMnemonicAcceleratorColonAndEllipsis) {
    EXPECT_EQ(AccessibleText("&Open...\tCtrl+O"), "Open");
    EXPECT_EQ(AccessibleText("Resize and &Save..."), "Resize and Save");
    EXPECT_EQ(AccessibleText("Edit p&rint size"), "Edit print size");
    EXPECT_EQ(AccessibleText("Width:"), "Width");
    EXPECT_EQ(AccessibleText("Properties ..."), "Properties");
    EXPECT_EQ(AccessibleText("Fish && Chips"), "Fish & Chips");
}

TEST(CommandTableTest, MenusHoldTheirRowsInOrderWithSeparatorsOnlyBetweenEntries) {
    for (const Menu menu : {Menu::File, Menu::View, Menu::Batch, Menu::Help, Menu::IconsPopup}) {
        EXPECT_FALSE(AccessibleText(MenuTitle(menu)).empty());
        const std::vector<CommandEntry> entries = MenuEntries(menu);
        ASSERT_FALSE(entries.empty());
        EXPECT_NE(entries.front().id, 0);
        EXPECT_NE(entries.back().id, 0);
        for (size_t i = 1; i < entries.size(); ++i) EXPECT_FALSE(entries[i - 1].id == 0 && entries[i].id == 0);
    }
    EXPECT_EQ(MenuBar().size(), 4u);
    const std::vector<CommandEntry> icons = MenuEntries(Menu::IconsPopup);
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].id, ID_VIEW_LARGE_ICONS);
    EXPECT_EQ(icons[1].id, ID_VIEW_SMALL_ICONS);
    // The recent files stand in the File menu, one command each from the first one's id.
    int recent = 0;
    for (const CommandEntry& entry : CommandTable())
        if (entry.kind == CommandKind::RecentFiles) {
            EXPECT_EQ(entry.menu, Menu::File);
            EXPECT_EQ(entry.id, ID_FILE_MRU_FILE1);
            ++recent;
        }
    EXPECT_EQ(recent, 1);
}

TEST(CommandTableTest, ToolbarSetsFollowTheirLayoutsAndTakeTheirTextsFromOneListInTurn) {
    const auto ids = [](ToolbarSet set) {
        std::vector<int> out;
        for (const ToolbarButton& button : ToolbarButtons(set)) out.push_back(button.id);
        return out;
    };
    EXPECT_EQ(ids(ToolbarSet::Single),
              (std::vector<int>{ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_BATCH_MODE, 0, ID_VIEW_PREVIOUS, ID_VIEW_NEXT}));
    EXPECT_EQ(ids(ToolbarSet::Batch),
              (std::vector<int>{ID_FILE_OPEN, ID_BROWSE, 0, ID_BATCH_MODE, 0, ID_REMOVE_SELECTED, 0, ID_BATCH_RUN, 0,
                                ID_VIEW_PREVIOUS, ID_VIEW_NEXT, 0, ID_VIEW_ICONS_POPUP}));
    EXPECT_EQ(ids(ToolbarSet::Browse),
              (std::vector<int>{ID_BROWSE_DONE, 0, ID_REMOVE_SELECTED, 0, ID_VIEW_ICONS_POPUP}));

    // The three sets read the toolbar's one list of texts in turn, from 0, 5 and 13; a command
    // keeps its button text in every set it appears in.
    const std::vector<std::string> list = {"Open", "Save",     "Batch Mode", "Previous", "Next", "Open",
                                           "Browse", "Batch Mode", "Remove", "Run ", "Previous", "Next",
                                           "View", "Done",     "Remove",     "View"};
    std::vector<std::string> texts;
    std::map<int, std::string_view> byCommand;
    for (const ToolbarSet set : {ToolbarSet::Single, ToolbarSet::Batch, ToolbarSet::Browse}) {
        for (const ToolbarButton& button : ToolbarButtons(set)) {
            if (button.id == 0) continue;
            texts.emplace_back(button.text);
            EXPECT_NE(FindCommand(button.id), nullptr) << button.text;
            if (!byCommand.emplace(button.id, button.text).second) {
                EXPECT_EQ(byCommand[button.id], button.text);
            }
            EXPECT_EQ(ButtonText(button.id), byCommand[button.id]);
        }
    }
    EXPECT_EQ(texts, list);
    EXPECT_TRUE(ButtonText(ID_HELP_TOPICS).empty());
}

}  // namespace
}  // namespace kv
