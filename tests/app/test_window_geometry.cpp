#include "app/WindowGeometry.h"

#include <gtest/gtest.h>

using zek::app::editWidthsFor;
using zek::app::snapAxis;

TEST(ResizeRule, ExtraWidthIsSharedInProportion) {
    const auto grown = editWidthsFor(513 + 101, 513, 209, 87);
    EXPECT_EQ(grown.source, 209 + 41);
    EXPECT_EQ(grown.midi, 209 + 41);
    EXPECT_EQ(grown.option, 87 + 17);
    const auto design = editWidthsFor(513, 513, 209, 87);
    EXPECT_EQ(design.source, 209);
    EXPECT_EQ(design.option, 87);
    // Shrinking cuts toward zero too: -101/505*209 = -41.8 gives -41.
    const auto shrunk = editWidthsFor(513 - 101, 513, 209, 87);
    EXPECT_EQ(shrunk.source, 209 - 41);
    EXPECT_EQ(shrunk.option, 87 - 17);
}

struct SnapCase {
    int position, extent, screen, expected;
};

class Snapping : public ::testing::TestWithParam<SnapCase> {};

TEST_P(Snapping, ThirtyOnePixelBandOnEitherSide) {
    const SnapCase& c = GetParam();
    EXPECT_EQ(snapAxis(c.position, c.extent, c.screen), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Edges, Snapping,
                         ::testing::Values(SnapCase{-20, 513, 1024, 0}, SnapCase{-32, 513, 1024, -32},
                                           SnapCase{-31, 513, 1024, 0}, SnapCase{31, 513, 1024, 0},
                                           SnapCase{32, 513, 1024, 32}, SnapCase{500, 513, 1024, 511},
                                           SnapCase{479, 513, 1024, 479}, SnapCase{480, 513, 1024, 511},
                                           SnapCase{541, 513, 1024, 511}, SnapCase{543, 513, 1024, 543},
                                           SnapCase{200, 368, 768, 200}));
