// The layout tables are data typed by hand: every control must be there
// once, inside its container, and every arrow tied to an edit of its own.

#include "plugin/setup/FormLayout.h"

#include <gtest/gtest.h>

#include <set>

namespace {

bool Contains(const RECT& outer, const RECT& inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

TEST(FormLayout, EveryControlOnceAndInsideItsContainer)
{
    std::set<int> seen;
    const RECT form = {0, 0, kFormClientWidth, kFormClientHeight};
    for (const ControlLayout& layout : kFormLayout) {
        int control = static_cast<int>(layout.control);
        EXPECT_TRUE(seen.insert(control).second) << "control " << control << " twice";
        RECT rect = FormRectOf(layout.control);
        RECT container = layout.parent == Control::Form ? form : FormRectOf(layout.parent);
        // The "Model:" label sits two pixels above its panel, as designed.
        if (layout.control != Control::ModelLabel) {
            EXPECT_TRUE(Contains(container, rect)) << "control " << control << " leaves its container";
        }
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kControlCount));
}

TEST(FormLayout, ArrowsShowTheirPositionInEditsOfTheirOwn)
{
    std::set<Control> buddies;
    for (const UpDownLayout& upDown : kUpDowns) {
        EXPECT_TRUE(buddies.insert(upDown.buddy).second);
        RECT arrows = FormRectOf(upDown.upDown);
        RECT edit = FormRectOf(upDown.buddy);
        EXPECT_EQ(arrows.left, edit.right) << "the arrows sit right of their edit";
        EXPECT_EQ(arrows.top, edit.top);
        const TimingSetting& setting = upDown.setting;
        EXPECT_LT(setting.min, setting.max) << setting.key;
        EXPECT_EQ((setting.max - setting.min) % setting.step, 0)
            << setting.key << ": every step lands inside the range";
    }
}

}  // namespace
