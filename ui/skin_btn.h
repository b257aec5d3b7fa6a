// The bitmap-skinned push button used by every window of the installer.
#pragma once

#include <windows.h>

#include "platform/controls.h"
#include "platform/handles.h"
#include "platform/message_map.h"
#include "ui/skin_button_rules.h"

// Draws one of three bitmaps (normal, hover, pressed) over a snapshot of what the parent painted under
// it, tracks hover with a 10 ms poll, and otherwise behaves as a push button. Its window text is its
// name for screen readers and is not drawn: the label is part of the picture. A focused button shows a
// focus rectangle once its window shows keyboard cues (after the first Tab or arrow key).
class CSkinBtn : public CButton {
public:
    CSkinBtn();
    ~CSkinBtn() override;

    // Takes the looks from the application's resources; the fourth id is accepted and not loaded,
    // the disabled look is the normal picture in a bitmap of its own. Each picture is decoded when its
    // look is first drawn, so a window opens without decoding looks not yet seen (hover, pressed, hidden
    // buttons). A second call replaces the bitmaps of the first.
    void LoadStateBitmaps(UINT normalId, UINT hoverId, UINT pressedId, UINT fourthId);

    void DrawItem(LPDRAWITEMSTRUCT pDis) override;

protected:
    void PreSubclassWindow() override;
    bool OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    friend struct SkinBtnMessages;

    LRESULT OnMouseMove();
    LRESULT OnTimer(UINT_PTR id);
    LRESULT OnEraseBkgnd(HDC dc);
    LRESULT OnSetCursor() { return TRUE; }
    LRESULT OnEnable(bool enable);
    LRESULT OnUpdateUiState();

    bool CursorInside() const;
    bool ShowsFocusCue() const;
    unique_hbitmap& LookSlot(int look);
    HBITMAP LookBitmap(int look);
    void Render();

    unique_hbitmap m_bmpNormal;
    unique_hbitmap m_bmpHover;
    unique_hbitmap m_bmpPressed;
    unique_hbitmap m_bmpDisabled;
    UINT m_nLookIds[4] = {};                                // normal, hover, pressed, disabled
    bool m_bLookDecoded[4] = {true, true, true, true};      // nothing to decode before LoadStateBitmaps
    SkinButtonRules m_rules;          // state, hover, enabled and focus flags
    bool m_bNoFocusRect = false;      // the last WM_DRAWITEM asked for no focus rectangle
    bool m_bBackgroundCaptured = false;
    unique_memory_dc m_dcBackground;
    unique_hbitmap m_bmpSnapshot;     // selected into m_dcBackground for the button's life
    HGDIOBJ m_hOldSnapshotBitmap = nullptr;
};
