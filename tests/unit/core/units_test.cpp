// The units every window and pane shares: twips against pixels and the page zoom's steps.
#include "core/twips.h"
#include "core/zoom.h"

#include <gtest/gtest.h>

#include <string>

using namespace folio;

TEST(Twips, FifteenToAPixelAtTheStandardResolutionAndScaledAtOthers) {
    EXPECT_EQ(twipsToPixels(3000), 200);
    EXPECT_EQ(twipsToPixels(100), 7);
    EXPECT_EQ(twipsToPixels(10), 1);
    EXPECT_EQ(pixelsToTwips(200), 3000);
    // A display at 150 % counts 144 pixels to the inch: the same twips take more pixels.
    EXPECT_EQ(twipsToPixels(3000, 144), 300);
    EXPECT_EQ(pixelsToTwips(300, 144), 3000);
    EXPECT_EQ(twipsToPixels(10, 120), 1); // rounded, so a closed pane stays a visible line
    EXPECT_EQ(twipsToPixels(-8), -1);     // rounded alike on both sides of zero
    EXPECT_EQ(twipsToPixels(3000, 0), 200);
}

TEST(Zoom, StepsClampAtTheLimits) {
    int z = 100;
    for (int i = 0; i < 9; ++i) {
        z = zoomIn(z);
    }
    EXPECT_EQ(z, 280);
    for (int i = 0; i < 20; ++i) {
        z = zoomIn(z);
    }
    EXPECT_EQ(z, 400);
    for (int i = 0; i < 30; ++i) {
        z = zoomOut(z);
    }
    EXPECT_EQ(z, 40);
    // The online start value reaches the bounds without overshooting.
    EXPECT_EQ(zoomOut(zoomOut(80)), 40);
    EXPECT_EQ(clampZoom(-32768), 40);
    EXPECT_EQ(zoomScript(280), "document.body.style.zoom='280%'");
}

TEST(Zoom, MenuEntriesInListOrder) {
    const auto& e = zoomMenuEntries();
    ASSERT_EQ(e.size(), 7u);
    EXPECT_STREQ(e.front().key, "Z400");
    EXPECT_STREQ(e.front().text, "400%");
    EXPECT_STREQ(e.back().key, "Z50");
    EXPECT_EQ(e.back().percent, 50);
    for (const auto& entry : e) {
        EXPECT_EQ(std::to_string(entry.percent) + "%", entry.text);
    }
}
