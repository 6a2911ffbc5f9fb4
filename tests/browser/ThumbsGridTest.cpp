#include "browser/ThumbsGrid.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(ThumbsGridTest, CellsTakeTheBoxAtTheZoomWithCardAndName) {
    EXPECT_EQ(ThumbCellSize(kLargeIconsZoom), (PixelSize{232, 197}));
    EXPECT_EQ(ThumbCellSize(kSmallIconsZoom), (PixelSize{157, 141}));  // 145 x 109 pictures
}

TEST(ThumbsGridTest, CellsAreCentredInEqualSharesOfTheWidthAtBothZooms) {
    struct Case {
        int zoom;
        PixelSize client;
        int32_t columns;
        PixelRect second;  // the cell of item 1
        PixelRect fifth;   // the cell of item 4
        PixelSize content; // for 10 items
    };
    const Case cases[] = {
        {100, {800, 600}, 3, {283, 0, 515, 197}, {283, 197, 515, 394}, {696, 788}},
        {66, {800, 600}, 5, {161, 0, 318, 141}, {641, 0, 798, 141}, {785, 282}},
        // Narrower than a cell: one column, the cell overhangs both sides equally.
        {100, {200, 600}, 1, {-16, 197, 216, 394}, {-16, 788, 216, 985}, {232, 1970}},
        {66, {1000, 300}, 6, {170, 0, 327, 141}, {668, 0, 825, 141}, {942, 282}},
    };
    for (const Case& c : cases) {
        const ThumbsGrid grid(10, ThumbCellSize(c.zoom), c.client);
        SCOPED_TRACE(testing::Message() << "zoom " << c.zoom << ", width " << c.client.width);
        EXPECT_EQ(grid.Columns(), c.columns);
        EXPECT_EQ(grid.CellRect(1), c.second);
        EXPECT_EQ(grid.CellRect(4), c.fifth);
        EXPECT_EQ(grid.ContentSize(), c.content);
    }
}

TEST(ThumbsGridTest, ContentIsOneByOneWithoutAClientAreaAndOneRowWithoutItems) {
    EXPECT_EQ(ThumbsGrid(10, ThumbCellSize(100), {0, 0}).ContentSize(), (PixelSize{1, 1}));
    EXPECT_EQ(ThumbsGrid(0, ThumbCellSize(100), {800, 600}).ContentSize(), (PixelSize{696, 197}));
    EXPECT_EQ(ThumbsGrid(0, ThumbCellSize(100), {800, 100}).VisibleRows(), 1);
    EXPECT_EQ(ThumbsGrid(0, ThumbCellSize(100), {800, 600}).VisibleRows(), 3);
}

TEST(ThumbsGridTest, PointsFindTheirCellOrNone) {
    const ThumbsGrid grid(5, ThumbCellSize(100), {800, 600});
    EXPECT_EQ(grid.ItemAt({17, 0}), 0u);
    EXPECT_EQ(grid.ItemAt({248, 196}), 0u);
    EXPECT_EQ(grid.ItemAt({16, 10}), std::nullopt);   // the margin left of the first cell
    EXPECT_EQ(grid.ItemAt({270, 10}), std::nullopt);  // between two cells
    EXPECT_EQ(grid.ItemAt({300, 200}), 4u);
    EXPECT_EQ(grid.ItemAt({600, 200}), std::nullopt);  // past the last item
    EXPECT_EQ(grid.ItemAt({790, 10}), std::nullopt);   // past the last column's share
    EXPECT_EQ(grid.ItemAt({-1, 10}), std::nullopt);

    // A drop goes before the item under it, before the nearer next cell from a gap, else at the end.
    EXPECT_EQ(grid.DropIndexAt({300, 200}), 4u);
    EXPECT_EQ(grid.DropIndexAt({270, 10}), 1u);
    EXPECT_EQ(grid.DropIndexAt({10, 10}), 0u);
    EXPECT_EQ(grid.DropIndexAt({600, 200}), 5u);
    EXPECT_EQ(grid.DropIndexAt({100, 900}), 5u);
}

TEST(ThumbsGridTest, OnlyTheCellsMeetingAnAreaAreFound) {
    const ThumbsGrid grid(20, ThumbCellSize(100), {800, 600});
    const ItemRange visible = grid.ItemsMeeting({0, 0, 800, 600});
    EXPECT_FALSE(visible.empty);
    EXPECT_EQ(visible.first, 0u);
    EXPECT_EQ(visible.last, 11u);  // the fourth row shows its top 9 pixels
    const ItemRange scrolled = grid.ItemsMeeting({0, 400, 800, 1000});
    EXPECT_EQ(scrolled.first, 6u);
    EXPECT_EQ(scrolled.last, 17u);
    const ItemRange gap = grid.ItemsMeeting({260, 0, 270, 600});
    EXPECT_TRUE(gap.empty);
    EXPECT_TRUE(ThumbsGrid(0, ThumbCellSize(100), {800, 600}).ItemsMeeting({0, 0, 800, 600}).empty);
}

TEST(ThumbsGridTest, AKeyTargetScrollsIntoViewAsTheBrowserScrolls) {
    const ThumbsGrid grid(30, ThumbCellSize(100), {800, 600});  // 10 rows of 197
    EXPECT_EQ(grid.ScrollToShow(0, 0), std::nullopt);
    EXPECT_EQ(grid.ScrollToShow(6, 0), std::nullopt);       // rows 0 to 2 are whole
    EXPECT_EQ(grid.ScrollToShow(9, 0), 788 - 600 + 197);     // its overshoot and a cell more
    EXPECT_EQ(grid.ScrollToShow(3, 400), 197);               // above: its top comes to the top
    EXPECT_EQ(ThumbsGrid(6, ThumbCellSize(100), {800, 600}).ScrollToShow(5, 0), std::nullopt);  // cannot scroll
}

}  // namespace
}  // namespace kv
