#include "app/CommandTable.h"

#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace kv {
namespace {

TEST(CommandTableTest, EveryCommandHasOneRowWithAReadableTextAndKey) {
    const std::regex key(R"re(((Ctrl|Shift|Alt)\+)*([A-Z0-9]|F[1-9]|F1[0-2]|Enter|Delete|Insert|Tab))re");
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
        EXPECT_EQ(FindCommand(entry.id), &entry);
    }
    EXPECT_EQ(FindCommand(0), nullptr);
    EXPECT_EQ(FindCommand(12345), nullptr);
}

TEST(CommandTableTest, MenusShowTheirKeysAfterATab) {
    EXPECT_EQ(MenuText(*FindCommand(CommandId::ID_FILE_OPEN)), "&Open...\tCtrl+O");
    EXPECT_EQ(MenuText(*FindCommand(CommandId::ID_BATCH_RUN)), "&Run\tEnter");
    EXPECT_EQ(MenuText(*FindCommand(CommandId::ID_HELP_TOPICS)), "&Help Topics\tF1");
    EXPECT_EQ(MenuText(*FindCommand(CommandId::ID_BATCH_MODE)), "&Batch Mode");
}

TEST(CommandTableTest, MenusHoldTheirRowsInOrderWithSeparatorsOnlyBetweenEntries) {
    for (const Menu menu : {Menu::File, Menu::View, Menu::Batch, Menu::Help, Menu::IconsPopup}) {
        const std::vector<CommandEntry> entries = MenuEntries(menu);
        ASSERT_FALSE(entries.empty());
        EXPECT_NE(entries.front().id, 0);
        EXPECT_NE(entries.back().id, 0);
        for (size_t i = 1; i < entries.size(); ++i) EXPECT_FALSE(entries[i - 1].id == 0 && entries[i].id == 0);
    }
    const std::vector<CommandEntry> icons = MenuEntries(Menu::IconsPopup);
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].id, CommandId::ID_VIEW_LARGE_ICONS);
    EXPECT_EQ(icons[1].id, CommandId::ID_VIEW_SMALL_ICONS);
}

TEST(CommandTableTest, ToolbarSetsTakeTheirTextsFromOneListInTurn) {
    // The three sets read the toolbar's one list of texts in turn, from 0, 5 and 13.
    const std::vector<std::string> list = {"Open", "Save",     "Batch Mode", "Previous", "Next", "Open",
                                           "Browse", "Batch Mode", "Remove", "Run ", "Previous", "Next",
                                           "View", "Done",     "Remove",     "View"};
    std::vector<std::string> texts;
    for (const ToolbarSet set : {ToolbarSet::Single, ToolbarSet::Batch, ToolbarSet::Browse}) {
        const auto buttons = ToolbarButtons(set);
        EXPECT_NE(buttons.front().id, 0);
        EXPECT_NE(buttons.back().id, 0);
        for (const ToolbarButton& button : buttons) {
            if (button.id == 0) continue;
            texts.emplace_back(button.text);
            EXPECT_NE(FindCommand(button.id), nullptr) << button.text;
        }
    }
    EXPECT_EQ(texts, list);
}

}  // namespace
}  // namespace kv
