// A non-owning view of a window handle, with the few window calls the dialogs use.
#pragma once

#include <windows.h>

class CWnd {
public:
    CWnd() noexcept = default;
    explicit CWnd(HWND hwnd) noexcept : m_hWnd(hwnd) {}
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    HWND GetDlgItem(int id) const noexcept { return ::GetDlgItem(m_hWnd, id); }
    BOOL ShowWindow(int cmd) const noexcept { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const noexcept { return m_hWnd && ::IsWindowVisible(m_hWnd); }
    void GetWindowRect(RECT* rc) const noexcept { ::GetWindowRect(m_hWnd, rc); }
    void GetClientRect(RECT* rc) const noexcept { ::GetClientRect(m_hWnd, rc); }
    void MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE) const noexcept
    {
        ::MoveWindow(m_hWnd, x, y, cx, cy, repaint);
    }
    void Invalidate(BOOL erase = TRUE) const noexcept { ::InvalidateRect(m_hWnd, nullptr, erase); }
    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const noexcept
    {
        return ::SendMessageW(m_hWnd, msg, wp, lp);
    }

    HWND m_hWnd = nullptr;
};
