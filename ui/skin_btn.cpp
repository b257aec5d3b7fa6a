// The bitmap-skinned push button used by every window of the installer.
#include "ui/skin_btn.h"

#include "platform/app.h"

namespace {
constexpr UINT_PTR kHoverTimer = 1;
constexpr UINT kHoverPollMs = 10;
}  // namespace

struct SkinBtnMessages {
    using Map = MessageMap<CSkinBtn>;
    static const Map::Message kMessages[];
    static const Map kMap;
};

const SkinBtnMessages::Map::Message SkinBtnMessages::kMessages[] = {
    {WM_MOUSEMOVE, [](CSkinBtn& b, WPARAM, LPARAM) { return b.OnMouseMove(); }},
    {WM_TIMER, [](CSkinBtn& b, WPARAM wp, LPARAM) { return b.OnTimer(static_cast<UINT_PTR>(wp)); }},
    {WM_ERASEBKGND, [](CSkinBtn& b, WPARAM wp, LPARAM) { return b.OnEraseBkgnd(reinterpret_cast<HDC>(wp)); }},
    {WM_SETCURSOR, [](CSkinBtn& b, WPARAM, LPARAM) { return b.OnSetCursor(); }},
    {WM_ENABLE, [](CSkinBtn& b, WPARAM wp, LPARAM) { return b.OnEnable(wp != 0); }},
    {WM_UPDATEUISTATE, [](CSkinBtn& b, WPARAM, LPARAM) { return b.OnUpdateUiState(); }},
};

const SkinBtnMessages::Map SkinBtnMessages::kMap = {
    kMessages, sizeof kMessages / sizeof kMessages[0], nullptr, 0};

CSkinBtn::CSkinBtn() = default;

CSkinBtn::~CSkinBtn()
{
    if (m_dcBackground && m_hOldSnapshotBitmap)
        ::SelectObject(m_dcBackground.get(), m_hOldSnapshotBitmap);
}

void CSkinBtn::PreSubclassWindow()
{
    const LONG_PTR style = ::GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, style | BS_OWNERDRAW);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CSkinBtn::LoadStateBitmaps(UINT normalId, UINT hoverId, UINT pressedId, UINT /*fourthId*/)
{
    const UINT ids[] = {normalId, hoverId, pressedId, normalId};
    for (int look = 0; look < 4; ++look) {
        LookSlot(look).reset();
        m_nLookIds[look] = ids[look];
        m_bLookDecoded[look] = false;
    }
}

unique_hbitmap& CSkinBtn::LookSlot(int look)
{
    unique_hbitmap* const slots[] = {&m_bmpNormal, &m_bmpHover, &m_bmpPressed, &m_bmpDisabled};
    return *slots[look];
}

HBITMAP CSkinBtn::LookBitmap(int look)
{
    if (!m_bLookDecoded[look]) {
        // Tried once: a picture that does not decode stays blank rather than being tried at every draw.
        LookSlot(look).reset(LoadAppBitmap(m_nLookIds[look]));
        m_bLookDecoded[look] = true;
    }
    return LookSlot(look).get();
}

bool CSkinBtn::OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return SkinBtnMessages::kMap.Dispatch(*this, msg, wParam, lParam, result);
}

void CSkinBtn::DrawItem(LPDRAWITEMSTRUCT pDis)
{
    const UINT s = pDis->itemState;
    m_bNoFocusRect = (s & ODS_NOFOCUSRECT) != 0;
    m_rules.OnDrawItem((s & ODS_FOCUS) != 0, (s & ODS_SELECTED) != 0, (s & ODS_DISABLED) != 0);
    Render();
}

bool CSkinBtn::CursorInside() const
{
    RECT rc;
    POINT cursor;
    ::GetWindowRect(m_hWnd, &rc);
    ::GetCursorPos(&cursor);
    return ::PtInRect(&rc, cursor) != FALSE;
}

LRESULT CSkinBtn::OnMouseMove()
{
    switch (m_rules.OnMouseMove(CursorInside())) {
    case SkinButtonRules::MoveAction::PassOn:
        return Default();
    case SkinButtonRules::MoveAction::StartTimer:
        ::SetTimer(m_hWnd, kHoverTimer, kHoverPollMs, nullptr);
        return 0;
    case SkinButtonRules::MoveAction::RenderStartTimer:
        Render();
        ::SetTimer(m_hWnd, kHoverTimer, kHoverPollMs, nullptr);
        return Default();
    }
    return Default();
}

LRESULT CSkinBtn::OnTimer(UINT_PTR id)
{
    const bool inside = CursorInside();
    if (id == kHoverTimer && m_rules.OnHoverTimer(inside)) {
        ::KillTimer(m_hWnd, kHoverTimer);
        Render();
    }
    return Default();
}

LRESULT CSkinBtn::OnEraseBkgnd(HDC dc)
{
    if (m_bBackgroundCaptured)
        return TRUE;
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    // What the parent already painted under the button becomes the button's background for good.
    m_dcBackground.reset(::CreateCompatibleDC(dc));
    m_bmpSnapshot.reset(::CreateCompatibleBitmap(dc, w, h));
    m_hOldSnapshotBitmap = ::SelectObject(m_dcBackground.get(), m_bmpSnapshot.get());
    ::BitBlt(m_dcBackground.get(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
    m_bBackgroundCaptured = true;
    ::SetWindowRgn(m_hWnd, ::CreateRectRgn(0, 0, w, h), TRUE);   // the window owns the region
    return TRUE;
}

LRESULT CSkinBtn::OnEnable(bool enable)
{
    const LRESULT result = Default();
    m_rules.OnEnable(enable);
    return result;
}

LRESULT CSkinBtn::OnUpdateUiState()
{
    const LRESULT result = Default();
    // The keyboard cues came or went: a focused button shows or drops its focus rectangle now.
    if (m_rules.Focused())
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    return result;
}

bool CSkinBtn::ShowsFocusCue() const
{
    if (!m_rules.Focused() || m_bNoFocusRect)
        return false;
    // Windows passes the cue state in ODS_NOFOCUSRECT; the dialog that holds the button keeps it too
    // (Wine's controls keep none), which also serves the renders that come from hover.
    return (::SendMessageW(::GetAncestor(m_hWnd, GA_ROOT), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

void CSkinBtn::Render()
{
    window_dc client(m_hWnd);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;

    unique_memory_dc offscreen(::CreateCompatibleDC(client.get()));
    unique_hbitmap frame(::CreateCompatibleBitmap(client.get(), w, h));
    select_guard selectFrame(offscreen.get(), frame.get());
    // Before the first erase there is no snapshot yet: the frame starts from the parent's
    // current pixels under the button instead.
    if (m_dcBackground)
        ::BitBlt(offscreen.get(), 0, 0, w, h, m_dcBackground.get(), 0, 0, SRCCOPY);
    else
        ::BitBlt(offscreen.get(), 0, 0, w, h, client.get(), 0, 0, SRCCOPY);

    const int look = m_rules.State();
    HBITMAP chosen = LookBitmap(look >= 0 && look < 4 ? look : 0);
    BITMAP info = {};
    if (chosen) {   // an empty slot leaves the background showing
        unique_memory_dc source(::CreateCompatibleDC(client.get()));
        select_guard selectBitmap(source.get(), chosen);
        ::GetObjectA(chosen, sizeof info, &info);
        if (NeedsStretch(info.bmWidth, info.bmHeight, w, h))
            ::StretchBlt(offscreen.get(), 0, 0, w, h, source.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        else   // where the bitmap is smaller than the button, the snapshot stays
            ::BitBlt(offscreen.get(), 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
    }
    if (ShowsFocusCue()) {
        const FocusFrame cue = FocusFrameFor(info.bmWidth, info.bmHeight, w, h);
        const RECT focus = {cue.left, cue.top, cue.right, cue.bottom};
        ::DrawFocusRect(offscreen.get(), &focus);
    }
    ::BitBlt(client.get(), 0, 0, w, h, offscreen.get(), 0, 0, SRCCOPY);
}
