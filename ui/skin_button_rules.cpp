// The skin button's look rules: which of its looks to draw after each event, and how to draw it.
#include "ui/skin_button_rules.h"

CaptionColour CaptionColourFor(int look)
{
    switch (look) {
    case kLookHover:
        return CaptionColour::Unset;
    case kLookPressed:
        return CaptionColour::Pressed;
    default:
        return CaptionColour::Normal;
    }
}

bool NeedsStretch(int bitmapWidth, int bitmapHeight, int clientWidth, int clientHeight)
{
    return bitmapHeight > clientHeight || bitmapWidth > clientWidth;
}

int SkinButtonRules::OnDrawItem(bool focus, bool selected, bool disabled)
{
    m_nState = kLookNormal;
    // The pressed look needs focus and selection; a repaint keeps the hover look only with focus.
    if (focus) {
        if (selected)
            m_nState = kLookPressed;
        else if (m_bHover)
            m_nState = kLookHover;
    }
    if (disabled) {
        m_nState = kLookDisabled;
        m_bEnabled = false;
    }
    return m_nState;
}

SkinButtonRules::MoveAction SkinButtonRules::OnMouseMove(bool cursorInside)
{
    if (m_bHover || !m_bEnabled)
        return MoveAction::PassOn;
    m_bHover = true;
    m_nState = kLookHover;
    return cursorInside ? MoveAction::RenderStartTimer : MoveAction::StartTimer;
}

bool SkinButtonRules::OnHoverTimer(bool cursorInside)
{
    if (cursorInside || !m_bHover || !m_bEnabled)
        return false;
    m_bHover = false;
    m_nState = kLookNormal;
    return true;
}
