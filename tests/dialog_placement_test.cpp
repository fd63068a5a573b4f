// Where a new dialog opens beside its host's main window.
#include "plugin/dialog_placement.h"

#include <gtest/gtest.h>

TEST(DialogPlacementTest, BesideTheHostOnTheRoomierSideSteppingPastOpenDialogsAndWholeOnScreen)
{
    const RECT screen = {0, 0, 1600, 900};
    const RECT leftHost = {20, 20, 320, 440}, rightHost = {1280, 20, 1580, 440};
    const SIZE dialog = {470, 300};
    const struct {
        RECT host;
        RECT screen;
        std::vector<POINT> taken;
        POINT expected;
    } cases[] = {
        {leftHost, screen, {}, {324, 20}},
        {rightHost, screen, {}, {806, 20}},
        {leftHost, screen, {{324, 20}}, {350, 46}},
        {rightHost, screen, {{806, 20}, {780, 46}}, {754, 72}},
        // A host low on the screen: the dialog rises to stay whole.
        {{20, 700, 320, 1120}, screen, {}, {324, 600}},
        // No side has the room: the roomier one, the dialog pushed back on.
        {{200, 0, 500, 400}, {0, 0, 800, 600}, {}, {330, 0}},
    };
    for (size_t row = 0; row < sizeof cases / sizeof cases[0]; ++row) {
        const POINT got = PlaceBeside(cases[row].host, dialog, cases[row].screen, 26, cases[row].taken);
        EXPECT_EQ(cases[row].expected.x, got.x) << "row " << row;
        EXPECT_EQ(cases[row].expected.y, got.y) << "row " << row;
    }
}
