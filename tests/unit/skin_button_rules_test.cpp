// The skin button's state rules, event by event.
#include <gtest/gtest.h>

#include <vector>

#include "ui/skin_button_rules.h"

using Move = SkinButtonRules::MoveAction;

TEST(SkinButton, MouseEnteringDrawsHoverAtOnceAndStartsThePoll)
{
    SkinButtonRules rules;
    EXPECT_EQ(rules.OnMouseMove(true), Move::RenderStartTimer);
    EXPECT_EQ(rules.State(), kLookHover);
    EXPECT_TRUE(rules.Hover());
    EXPECT_EQ(rules.OnMouseMove(true), Move::PassOn) << "no redraw for every move";
}

TEST(SkinButton, CapturedMoveOutsideStartsHoverWithoutDrawing)
{
    SkinButtonRules rules;
    EXPECT_EQ(rules.OnMouseMove(false), Move::StartTimer);
    EXPECT_EQ(rules.State(), kLookHover);
}

TEST(SkinButton, LeaveIsNoticedAtTheNextTickEvenWithoutMouseMessages)
{
    SkinButtonRules rules;
    rules.OnMouseMove(true);
    EXPECT_FALSE(rules.OnHoverTimer(true));
    EXPECT_TRUE(rules.OnHoverTimer(false));
    EXPECT_EQ(rules.State(), kLookNormal);
    EXPECT_FALSE(rules.Hover());
    EXPECT_EQ(rules.OnMouseMove(true), Move::RenderStartTimer) << "a new entry is a new hover";
}

TEST(SkinButton, DrawItemLooks)
{
    SkinButtonRules rules;
    EXPECT_EQ(rules.OnDrawItem(false, false, false), kLookNormal);
    EXPECT_EQ(rules.OnDrawItem(true, true, false), kLookPressed);
    EXPECT_EQ(rules.OnDrawItem(false, true, false), kLookNormal) << "pressed needs the focus too";
    EXPECT_EQ(rules.OnDrawItem(true, false, false), kLookNormal) << "no hover flag, no hover look";
    rules.OnMouseMove(true);
    EXPECT_EQ(rules.OnDrawItem(true, false, false), kLookHover);
    EXPECT_EQ(rules.OnDrawItem(false, false, false), kLookNormal) << "hovered but without focus";
}

TEST(SkinButton, DisabledDrawBlocksHoverUntilEnabledAgain)
{
    SkinButtonRules rules;
    EXPECT_EQ(rules.OnDrawItem(true, true, true), kLookDisabled);
    EXPECT_FALSE(rules.Enabled());
    EXPECT_EQ(rules.OnMouseMove(true), Move::PassOn);
    rules.OnEnable(true);
    EXPECT_EQ(rules.OnMouseMove(true), Move::RenderStartTimer);
}

TEST(SkinButton, LeaveWaitsWhileDisabledAndCompletesOnceEnabled)
{
    SkinButtonRules rules;
    rules.OnMouseMove(true);
    rules.OnEnable(false);
    EXPECT_FALSE(rules.OnHoverTimer(false));
    EXPECT_TRUE(rules.Hover());
    rules.OnEnable(true);
    EXPECT_TRUE(rules.OnHoverTimer(false));
}

TEST(SkinButton, StretchRuleAndFocusFrame)
{
    EXPECT_TRUE(NeedsStretch(216, 40, 215, 40));
    EXPECT_TRUE(NeedsStretch(215, 41, 215, 40));
    EXPECT_FALSE(NeedsStretch(215, 40, 215, 40));
    EXPECT_FALSE(NeedsStretch(13, 13, 21, 18));

    auto frame = [](int bw, int bh, int cw, int ch) {
        const FocusFrame f = FocusFrameFor(bw, bh, cw, ch);
        return std::vector<int>{f.left, f.top, f.right, f.bottom};
    };
    EXPECT_EQ(frame(215, 40, 218, 44), (std::vector<int>{2, 2, 213, 38})) << "inside the picture, not the button";
    EXPECT_EQ(frame(13, 13, 21, 17), (std::vector<int>{1, 1, 12, 12})) << "a small picture: one pixel in";
    EXPECT_EQ(frame(22, 24, 24, 19), (std::vector<int>{1, 1, 23, 18})) << "stretched: the whole button";
    EXPECT_EQ(frame(0, 0, 75, 30), (std::vector<int>{2, 2, 73, 28})) << "no picture: the whole button";
}
