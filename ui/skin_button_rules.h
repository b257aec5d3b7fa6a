// The skin button's look rules: which of its looks to draw after each event, and how to draw it.
#pragma once

// Looks, and the bitmap slots that hold them.
enum SkinLook { kLookNormal = 0, kLookHover = 1, kLookPressed = 2, kLookDisabled = 3 };

// A bitmap larger than the button on either axis is stretched into it whole; otherwise it is copied
// unscaled to the top-left corner.
bool NeedsStretch(int bitmapWidth, int bitmapHeight, int clientWidth, int clientHeight);

// Where a focused button shows its focus rectangle (right and bottom exclusive): just inside the picture
// as it is drawn (the whole button when the picture is stretched into it, or missing), one pixel in from
// a picture smaller than 24 pixels on a side and two in from larger ones.
struct FocusFrame {
    int left, top, right, bottom;
};
FocusFrame FocusFrameFor(int bitmapWidth, int bitmapHeight, int clientWidth, int clientHeight);

// Events in, state and drawing out; the Windows side feeds it and does what it answers.
class SkinButtonRules {
public:
    // WM_DRAWITEM: the look to render now.
    int OnDrawItem(bool focus, bool selected, bool disabled);

    enum class MoveAction {
        PassOn,              // nothing to do here, the button's own handling runs
        StartTimer,          // hover begins with the cursor outside (captured): poll, draw nothing
        RenderStartTimer,    // hover begins over the button: draw the hover look, poll, pass on
    };
    MoveAction OnMouseMove(bool cursorInside);

    // Tick of the hover poll (timer 1): true when hover ends now (stop the timer, draw the normal look).
    bool OnHoverTimer(bool cursorInside);

    void OnEnable(bool enable) { m_bEnabled = enable; }

    int State() const { return m_nState; }
    // Whether the last WM_DRAWITEM said the button has the focus.
    bool Focused() const { return m_bFocus; }
    bool Hover() const { return m_bHover; }
    bool Enabled() const { return m_bEnabled; }

private:
    int m_nState = kLookNormal;
    bool m_bHover = false;
    bool m_bEnabled = true;
    bool m_bFocus = false;
};
