#include "browser/ThumbsBrowser.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/CommandIds.h"
#include "browser/BrowserTestSupport.h"
#include "browser/CellTestSupport.h"
#include "browser/ThumbsBuilderThreads.h"
#include "common/TestFiles.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::Selected;
using Indices = std::vector<size_t>;

class ThumbsBrowserTest : public testing::Test {
protected:
    void SetUp() override {
        builders.Stop();  // the queues stay as the browser leaves them, for the test to read
    }
    void Host(size_t count, PixelSize client = {928, 600}) {  // four columns at zoom 100
        test::FillItems(items, count, dir.path());
        view.client = client;
        browser.SetHost(&view);
    }
    void Click(size_t index, Modifiers modifiers = {}) {
        const PixelPoint at = test::CentreOf(browser, index, view);
        browser.MouseDown(at, modifiers);
        browser.MouseUp(at, modifiers);
    }
    void SelectOnly(const Indices& indices) {
        for (size_t i = 0; i < items.size(); ++i) items[i].selected = 0;
        for (const size_t i : indices) items[i].selected = 1;
    }
    std::string PathOf(size_t index) const { return items[index].path.string(); }

    test::TempDir dir;
    test::TempDir cacheDir;
    CMapStringToObPlus cache{cacheDir.path()};
    CThumbsBuilderThreads builders{cache};
    test::MemoryClipboard clipboard;
    CItemList items;
    test::RecordingView view;
    CThumbsBrowser browser{items, {cache, &builders, nullptr, &clipboard}};
};

TEST_F(ThumbsBrowserTest, ClicksSelectAsThePlainCtrlAndShiftRulesSay) {
    Host(10);
    Click(2);
    EXPECT_EQ(Selected(items), (Indices{2}));
    Click(5, {.ctrl = true});
    EXPECT_EQ(Selected(items), (Indices{2, 5}));
    Click(2, {.ctrl = true});  // the release toggles
    EXPECT_EQ(Selected(items), (Indices{5}));
    Click(8, {.shift = true});  // from the lowest selected
    EXPECT_EQ(Selected(items), (Indices{5, 6, 7, 8}));
    Click(3, {.shift = true});
    EXPECT_EQ(Selected(items), (Indices{3, 4, 5}));

    // A press on a selected item keeps the selection for a drag; its release keeps it only when
    // nothing after it is selected.
    const PixelPoint on4 = test::CentreOf(browser, 4, view);
    browser.MouseDown(on4, {});
    EXPECT_EQ(Selected(items), (Indices{3, 4, 5}));
    browser.MouseUp(on4, {});
    EXPECT_EQ(Selected(items), (Indices{4}));
    SelectOnly({1, 2, 6});
    Click(6);
    EXPECT_EQ(Selected(items), (Indices{1, 2, 6}));

    // Shift with nothing selected starts at the first item; a press on empty space clears.
    SelectOnly({});
    Click(2, {.shift = true});
    EXPECT_EQ(Selected(items), (Indices{0, 1, 2}));
    browser.MouseDown({700, 450}, {});  // past the last item
    browser.MouseUp({700, 450}, {});
    EXPECT_EQ(Selected(items), Indices{});
    EXPECT_EQ(view.status.files, "Total 10 files");
}

TEST_F(ThumbsBrowserTest, EverySelectionChangeRepaintsThatCellAtOnce) {
    Host(10);
    Click(1);
    view.repainted.clear();
    Click(6);
    // 1 deselected, 6 selected: both cells with the margin for the card's edge.
    const ThumbsGrid grid = browser.Grid();
    ASSERT_EQ(view.repainted.size(), 2u);
    EXPECT_EQ(view.repainted[0], (PixelRect{grid.CellRect(1).left - 3, -3, grid.CellRect(1).right + 3, 200}));
    EXPECT_EQ(view.repainted[1].top, grid.CellRect(6).top - 3);
}

TEST_F(ThumbsBrowserTest, TheRubberBandSelectsWhatItMeetsAndScrollsAlongBelowTheView) {
    Host(40, {1000, 600});  // 10 rows of 197 in a view of 600; cells 9 pixels into each share
    browser.MouseDown({2, 2}, {});
    EXPECT_TRUE(browser.RubberBandActive());
    browser.MouseMove({300, 150}, true, {});  // from the first column's margin into the second cell
    EXPECT_EQ(Selected(items), (Indices{0, 1}));
    browser.MouseMove({10, 150}, true, {});  // back: the second cell leaves the band
    EXPECT_EQ(Selected(items), (Indices{0}));

    browser.MouseMove({300, 650}, true, {});  // below the view: one line down, the timer starts
    EXPECT_EQ(view.scroll.y, 197);
    EXPECT_TRUE(view.autoScrolling);
    EXPECT_EQ(Selected(items), (Indices{0, 1, 4, 5, 8, 9, 12, 13, 16, 17}));  // the band now reaches 847
    for (int tick = 0; tick < 20; ++tick) browser.OnAutoScrollTick({300, 650});
    EXPECT_EQ(view.scroll.y, 10 * 197 - 600);  // as far as it goes
    EXPECT_EQ(Selected(items).size(), 20u);     // columns 0 and 1 of every row
    const auto plan = browser.Paint({0, 0, 1000, 600});
    ASSERT_TRUE(plan.rubberBand);
    EXPECT_EQ(plan.rubberBand->top, 2 - view.scroll.y);  // the anchor stayed on the content

    browser.MouseMove({300, -20}, true, {});  // above: back up one line
    EXPECT_EQ(view.scroll.y, 10 * 197 - 600 - 197);
    browser.MouseUp({300, -20}, {});
    EXPECT_FALSE(browser.RubberBandActive());
    EXPECT_FALSE(view.autoScrolling);
    EXPECT_FALSE(browser.Paint({0, 0, 1000, 600}).rubberBand);
}

TEST_F(ThumbsBrowserTest, AMoveWithoutTheButtonEndsABandAndAPressCloseByStartsNoDrag) {
    Host(8, {1000, 600});
    browser.MouseDown({2, 2}, {});
    browser.MouseMove({300, 100}, false, {});
    EXPECT_FALSE(browser.RubberBandActive());
    EXPECT_EQ(browser.hotItem(), 1u);

    const PixelPoint on1 = test::CentreOf(browser, 1, view);
    browser.MouseDown(on1, {});
    browser.MouseMove({on1.x + 2, on1.y - 2}, true, {});
    EXPECT_TRUE(view.drags.empty());
    EXPECT_TRUE(browser.DragArmed());
    browser.MouseMove({on1.x + 3, on1.y}, true, {});
    ASSERT_EQ(view.drags.size(), 1u);
    EXPECT_EQ(view.drags[0], (std::vector<fs::path>{items[1].path}));
    EXPECT_FALSE(browser.DragArmed());
    EXPECT_FALSE(browser.InternalDrag());  // over once StartDrag returned
}

TEST_F(ThumbsBrowserTest, ADragAndACopyTakeEachImagesSoundNoteAlong) {
    Host(3);
    test::WriteBytes(items[0].path, {1});
    test::WriteBytes(fs::path(items[0].path).replace_extension(".WAV"), {1});
    SelectOnly({0, 2});
    browser.OnCommand(CommandId::ID_EDIT_COPY);
    const std::optional<FileList> copied = clipboard.ReadFileList();
    ASSERT_TRUE(copied);
    EXPECT_FALSE(copied->cut);
    EXPECT_EQ(copied->paths, (std::vector<fs::path>{items[0].path, fs::path(items[0].path).replace_extension(".WAV"),
                                                     items[2].path}));
    browser.CopySelection(true);
    EXPECT_TRUE(clipboard.ReadFileList()->cut);
}

TEST_F(ThumbsBrowserTest, KeysMoveTheSelectionAndStopAtTheEdgesOfTheGrid) {
    Host(23, {928, 600});  // 4 columns, 3 whole rows visible: a page is 12 items
    struct Case {
        Indices before;
        NavigationKey key;
        bool shift;
        Indices after;
    };
    using K = NavigationKey;
    const Case cases[] = {
        {{}, K::Right, false, {0}},
        {{}, K::End, false, {22}},
        {{}, K::PageDown, true, {0}},
        {{3, 4, 5}, K::Down, true, {3, 4, 5, 6, 7, 8, 9}},
        {{3, 4, 5}, K::Down, false, {9}},
        {{3, 4, 5}, K::Up, true, {0, 1, 2, 3, 4, 5}},
        {{3, 4, 5}, K::Left, true, {2, 3, 4, 5}},
        {{3, 4, 5}, K::Right, false, {6}},
        {{22}, K::Right, false, {22}},
        {{21}, K::Down, false, {22}},
        {{0}, K::Left, false, {0}},
        {{2}, K::Up, false, {0}},
        {{5}, K::PageDown, false, {17}},
        {{20}, K::PageDown, true, {20, 21, 22}},
        {{13}, K::PageUp, false, {1}},
        {{6, 7}, K::Home, true, {0, 1, 2, 3, 4, 5, 6, 7}},
        {{6, 7}, K::End, true, {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22}},
        {{6, 7}, K::Home, false, {0}},
    };
    for (const Case& c : cases) {
        SelectOnly(c.before);
        browser.KeyDown(c.key, {.shift = c.shift});
        EXPECT_EQ(Selected(items), c.after) << "key " << static_cast<int>(c.key) << (c.shift ? " with Shift" : "")
                                            << " from " << testing::PrintToString(c.before);
    }
}

TEST_F(ThumbsBrowserTest, TheTargetOfAKeyIsScrolledIntoView) {
    Host(40);
    browser.KeyDown(NavigationKey::Home, {});
    browser.KeyDown(NavigationKey::Down, {});
    browser.KeyDown(NavigationKey::Down, {});
    EXPECT_EQ(view.scroll.y, 0);
    browser.KeyDown(NavigationKey::Down, {});  // row 3 ends at 788: scrolled by 188 and a cell
    EXPECT_EQ(view.scroll.y, 385);
    browser.KeyDown(NavigationKey::End, {});
    EXPECT_EQ(view.scroll.y, 10 * 197 - 600);
    browser.KeyDown(NavigationKey::Home, {});
    EXPECT_EQ(view.scroll.y, 0);
}

TEST_F(ThumbsBrowserTest, StatusTellsTheTotalTheSelectionOrTheOneFile) {
    Host(3);
    test::WriteBytes(items[0].path, std::vector<uint8_t>(2048));
    test::WriteBytes(items[1].path, std::vector<uint8_t>(3 * 1024 * 1024));
    test::WriteBytes(items[2].path, std::vector<uint8_t>(512));
    const timespec times[2] = {{1'700'000'000, 0}, {1'700'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, items[1].path.c_str(), times, 0), 0);
    auto cell = test::MakeCell(220, 165);
    cell->imageWidth = 4032;
    cell->imageHeight = 3024;
    cell->bitsPerPixel = 24;
    cache.Store(PathOf(1), cell);

    browser.UpdateStatus();
    EXPECT_EQ(view.status, (BrowserStatus{"Total 3 files", "", "3.00MB", ""}));
    SelectOnly({0, 2});
    browser.UpdateStatus();
    EXPECT_EQ(view.status, (BrowserStatus{"Total 2 files", "", "2.50KB", ""}));
    Click(1);
    EXPECT_EQ(view.status, (BrowserStatus{"a1.jpg", FormatFileTime(1'700'000'000), "3.00MB", "4032x3024, 24 bits"}));
    EXPECT_FALSE(view.status.date.empty());
    Click(2);
    EXPECT_EQ(view.status, (BrowserStatus{"a2.jpg", view.status.date, "0.50KB", ""}));  // no cell: no image line

    EXPECT_EQ(FormatBrowserSize(1023.0 * 1024 * 1024), "1.00GB");
    EXPECT_EQ(FormatBrowserSize(999.0 * 1024), "999.00KB");
    EXPECT_EQ(FormatBrowserSize(1000.0 * 1024), "0.98MB");
}

TEST_F(ThumbsBrowserTest, ToolTipsNameACachedFileAndNothingElse) {
    Host(2);
    test::WriteBytes(items[0].path, std::vector<uint8_t>(1536));
    auto cell = test::MakeCell();
    cell->imageWidth = 640;
    cell->imageHeight = 480;
    cache.Store(PathOf(0), cell);
    cache.Store(PathOf(1), test::MakeCell());  // its file does not exist
    EXPECT_EQ(browser.TooltipAt(test::CentreOf(browser, 0, view)), "File: a0.jpg\nSize: 640x480\nFile size: 1.50KB");
    EXPECT_EQ(browser.TooltipAt(test::CentreOf(browser, 1, view)), "");
    EXPECT_EQ(browser.TooltipAt({920, 590}), "");
}

TEST_F(ThumbsBrowserTest, PaintingDrawsTheVisibleCellsAndBuildsTheirThumbnailsFirstInLongLists) {
    Host(41);  // more than 40: visible files without a thumbnail jump the queue
    browser.Rebuild();
    cache.Store(PathOf(1), test::MakeCell(220, 165, true));
    cache.Store(PathOf(6), test::MakeCell(220, 165, true));
    view.scroll.y = 197;  // rows 1 to 4 show
    const CThumbsBrowser::PaintPlan plan = browser.Paint({0, 0, 928, 600});
    ASSERT_EQ(plan.cells.size(), 16u);
    EXPECT_EQ(plan.cells.front().index, 4u);
    EXPECT_EQ(plan.cells.front().rect.top, 0);
    EXPECT_TRUE(plan.cells[2].cell);  // item 6
    EXPECT_FALSE(plan.cells[0].cell);
    const std::vector<std::string> queue = builders.QueuedFiles(BuildStage::First);
    ASSERT_EQ(queue.size(), 41u);
    // The visible ones without a cell, the last of them first, then the rest in list order.
    std::vector<std::string> expected;
    for (size_t i = 19; i >= 4; --i)
        if (i != 6) expected.push_back(PathOf(i));
    for (size_t i = 0; i < 41; ++i)
        if (i < 4 || i > 19 || i == 6) expected.push_back(PathOf(i));
    EXPECT_EQ(queue, expected);
}

TEST_F(ThumbsBrowserTest, ShortListsKeepTheBuildOrder) {
    Host(40);
    browser.Rebuild();
    view.scroll.y = 197 * 5;
    browser.Paint({0, 0, 928, 600});
    const std::vector<std::string> queue = builders.QueuedFiles(BuildStage::First);
    ASSERT_EQ(queue.size(), 40u);
    EXPECT_EQ(queue.front(), PathOf(0));
}

TEST_F(ThumbsBrowserTest, ASelectedNameTooWideForItsLabelScrollsOnEachTick) {
    Host(2);
    auto cell = test::MakeCell(220, 165, true);
    cache.Store(PathOf(1), cell);
    cell->MeasureLabel({10, 177, 222, 197}, 400);  // as the view measures it when drawing
    browser.OnLabelTimer();
    EXPECT_EQ(cell->labelScrollOffset, 0);  // not selected
    Click(1);
    view.repainted.clear();
    browser.OnLabelTimer();
    browser.OnLabelTimer();
    EXPECT_EQ(cell->labelScrollOffset, 10);
    ASSERT_EQ(view.repainted.size(), 2u);
    EXPECT_EQ(view.repainted[0], cell->LabelRect(browser.Grid().CellRect(1)));
}

TEST_F(ThumbsBrowserTest, ARightPressSelectsTheItemAloneAndOffersTheMenuOfTheSelection) {
    Host(5);
    SelectOnly({0, 1});
    browser.ContextMenuAt(test::CentreOf(browser, 1, view));  // selected: the selection stays
    ASSERT_TRUE(view.menu);
    EXPECT_EQ(view.menu->kind, ContextMenuKind::SeveralItems);
    EXPECT_EQ(Selected(items), (Indices{0, 1}));

    browser.ContextMenuAt(test::CentreOf(browser, 3, view));
    EXPECT_EQ(Selected(items), (Indices{3}));
    EXPECT_EQ(view.menu->kind, ContextMenuKind::OneItem);
    std::vector<std::string> texts;
    for (const ContextMenuEntry& entry : view.menu->entries) texts.push_back(entry.id ? entry.text : entry.submenu.empty() ? "-" : entry.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"&Copy", "&Paste", "-", "Select all", "-", "Sort &By", "-", "Properties ..."}));
    EXPECT_FALSE(view.menu->entries[1].enabled);  // nothing to paste
    const ContextMenuEntry& sortBy = view.menu->entries[5];
    ASSERT_EQ(sortBy.submenu.size(), 6u);
    EXPECT_TRUE(sortBy.submenu[0].checked);  // by name
    EXPECT_TRUE(sortBy.submenu[0].checkable);

    clipboard.WriteFileList({"/elsewhere/x.jpg"}, false);
    browser.ContextMenuAt({920, 590});
    EXPECT_EQ(view.menu->kind, ContextMenuKind::EmptySpace);
    EXPECT_EQ(Selected(items), Indices{});
    EXPECT_TRUE(view.menu->entries[2].enabled);  // "&Paste"

    browser.ContextMenuAt(test::CentreOf(browser, 2, view));
    browser.OnCommand(CommandId::ID_PROPERTIES);
    EXPECT_EQ(view.properties, (std::vector<fs::path>{items[2].path}));
}

TEST_F(ThumbsBrowserTest, SortingWaitsForTwoItemsAndSelectAllForOne) {
    Host(1);
    EXPECT_FALSE(browser.CommandStateOf(CommandId::ID_SORT_DATE).enabled);
    EXPECT_TRUE(browser.CommandStateOf(CommandId::ID_SELECT_ALL).enabled);
    EXPECT_FALSE(browser.CommandStateOf(CommandId::ID_EDIT_COPY).enabled);
    items.Append(std::make_unique<CItem>(ResizeSettings{}, dir / "0.jpg"));
    EXPECT_TRUE(browser.CommandStateOf(CommandId::ID_SORT_DATE).enabled);
    browser.OnCommand(CommandId::ID_SORT_NAME);
    EXPECT_EQ(items[0].path.filename(), "0.jpg");
    browser.OnCommand(CommandId::ID_SELECT_ALL);
    EXPECT_EQ(Selected(items), (Indices{0, 1}));
    EXPECT_TRUE(browser.CommandStateOf(CommandId::ID_EDIT_COPY).enabled);
    EXPECT_TRUE(browser.CommandStateOf(CommandId::ID_SORT_NAME).checked);
}

// --- Renaming in place ---

class RenameInPlaceTest : public ThumbsBrowserTest {
protected:
    void SetUp() override {
        ThumbsBrowserTest::SetUp();
        Host(3);
        for (size_t i = 0; i < 3; ++i) test::WriteBytes(items[i].path, {uint8_t(i)});
        browser_prompt.messages.clear();
    }
    struct Prompt final : IUserPrompt {
        std::vector<std::string> messages;
        void ShowMessage(const std::string& text) override { messages.push_back(text); }
        bool AskYesNo(const std::string&) override { return false; }
        void Beep() override {}
    } browser_prompt;
    CThumbsBrowser renaming{items, {cache, nullptr, &browser_prompt, nullptr}};
};

TEST_F(RenameInPlaceTest, APressIntoTheOnlySelectedNameOpensTheEditor) {
    renaming.SetHost(&view);
    const PixelRect cell = renaming.Grid().CellRect(1);
    const PixelPoint inLabel{(cell.left + cell.right) / 2, cell.bottom - 5};
    renaming.MouseDown(inLabel, {});  // not selected yet: a click
    renaming.MouseUp(inLabel, {});
    EXPECT_FALSE(view.rename);
    renaming.MouseDown(inLabel, {});
    ASSERT_TRUE(view.rename);
    EXPECT_EQ(view.rename->file, items[1].path);
    EXPECT_EQ(view.rename->name, "a1");
    EXPECT_EQ(view.rename->label, (PixelRect{cell.left + 10, cell.bottom - 20, cell.right - 10, cell.bottom}));
    EXPECT_FALSE(renaming.DragArmed());
}

TEST_F(RenameInPlaceTest, TheFileItsSoundNoteItemAndCachedCellTakeTheNewName) {
    const fs::path note = fs::path(items[0].path).replace_extension(".wav");
    test::WriteBytes(note, {9});
    auto cell = test::MakeCell(220, 165, true);
    cell->imageWidth = 1234;
    cell->hasSoundNote = 1;
    ASSERT_TRUE(cell->CompressThumbnail());
    cache.Store(PathOf(0), cell);

    renaming.CommitRename(items[0].path, "holiday");
    const fs::path renamed = dir / "holiday.jpg";
    EXPECT_TRUE(browser_prompt.messages.empty());
    EXPECT_TRUE(fs::exists(renamed));
    EXPECT_TRUE(fs::exists(dir / "holiday.wav"));
    EXPECT_FALSE(fs::exists(note));
    // The image now stands beside a note of its name: the list is read again (here: rebuilt), the
    // cell moved.
    CMapStringToObPlus::Cell moved;
    ASSERT_TRUE(cache.Lookup(renamed.string(), moved));
    EXPECT_EQ(moved->imageWidth, 1234);
    EXPECT_TRUE(moved->HasThumbnail());
    EXPECT_TRUE(moved->HasCompressedThumbnail());
    CMapStringToObPlus::Cell old;
    EXPECT_FALSE(cache.Lookup(PathOf(0), old));
}

TEST_F(RenameInPlaceTest, ARenamedItemKeepsItsPlaceAndATypedOwnNameDoesNothing) {
    renaming.CommitRename(items[1].path, "a1");
    EXPECT_TRUE(fs::exists(items[1].path));
    renaming.CommitRename(items[1].path, "A1");  // names differ by case on this file system
    EXPECT_EQ(items[1].path, dir / "A1.jpg");
    EXPECT_TRUE(fs::exists(dir / "A1.jpg"));
    EXPECT_TRUE(browser_prompt.messages.empty());
}

TEST_F(RenameInPlaceTest, ATakenOrUnusableNameIsRefusedAndNothingMoves) {
    struct Case {
        std::string typed;
        std::string message;
    };
    const Case cases[] = {
        {"a2", "A file named\na2.jpg\nalready exists.\nPlease choose another name."},
        {"", "The name \"\" cannot be used:\na file name can't be empty, \".\" or \"..\", or contain \"/\"."},
        {"..", "The name \"..\" cannot be used:\na file name can't be empty, \".\" or \"..\", or contain \"/\"."},
        {"sub/x", "The name \"sub/x\" cannot be used:\na file name can't be empty, \".\" or \"..\", or contain \"/\"."},
    };
    for (const Case& c : cases) {
        browser_prompt.messages.clear();
        renaming.CommitRename(items[0].path, c.typed);
        EXPECT_EQ(browser_prompt.messages, std::vector<std::string>{c.message}) << c.typed;
    }
    EXPECT_EQ(test::ReadBytes(dir / "a2.jpg"), std::vector<uint8_t>{2});  // never replaced
    EXPECT_EQ(items[0].path, dir / "a0.jpg");
    EXPECT_TRUE(fs::exists(items[0].path));

    browser_prompt.messages.clear();
    renaming.CommitRename(items[0].path, std::string(300, 'x'));
    ASSERT_EQ(browser_prompt.messages.size(), 1u);
    EXPECT_NE(browser_prompt.messages[0].find("File name too long"), std::string::npos);
}

}  // namespace
}  // namespace kv
