// The skin button's state rules, event by event.
#include <gtest/gtest.h>

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

TEST(SkinButton, CaptionColoursAndStretchRule)
{
    EXPECT_EQ(CaptionColourFor(kLookNormal), CaptionColour::Normal);
    EXPECT_EQ(CaptionColourFor(kLookHover), CaptionColour::Unset);
    EXPECT_EQ(CaptionColourFor(kLookPressed), CaptionColour::Pressed);
    EXPECT_EQ(CaptionColourFor(kLookDisabled), CaptionColour::Normal);
    EXPECT_TRUE(NeedsStretch(216, 40, 215, 40));
    EXPECT_TRUE(NeedsStretch(215, 41, 215, 40));
    EXPECT_FALSE(NeedsStretch(215, 40, 215, 40));
    EXPECT_FALSE(NeedsStretch(13, 13, 21, 18));
}
