// The skin button's look rules: which of its looks to draw after each event, and how to draw it.
#include "ui/skin_button_rules.h"

bool NeedsStretch(int bitmapWidth, int bitmapHeight, int clientWidth, int clientHeight)
{
    return bitmapHeight > clientHeight || bitmapWidth > clientWidth;
}

FocusFrame FocusFrameFor(int bitmapWidth, int bitmapHeight, int clientWidth, int clientHeight)
{
    int width = clientWidth;
    int height = clientHeight;
    if (bitmapWidth > 0 && bitmapHeight > 0 && !NeedsStretch(bitmapWidth, bitmapHeight, clientWidth, clientHeight)) {
        width = bitmapWidth;
        height = bitmapHeight;
    }
    const int inset = width >= 24 && height >= 24 ? 2 : 1;
    return FocusFrame{inset, inset, width - inset, height - inset};
}

int SkinButtonRules::OnDrawItem(bool focus, bool selected, bool disabled)
{
    m_bFocus = focus;
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
