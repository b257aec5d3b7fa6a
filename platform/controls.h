// Wrappers that attach to a dialog template's controls: subclassing, owner drawing, typed calls.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/wnd.h"

// A control of a dialog template, attached by id. While attached, its messages pass through
// OnWndMsg first; WM_DRAWITEM that the parent receives for it is handed back to DrawItem.
class CControl : public CWnd {
public:
    CControl() noexcept = default;
    ~CControl() override;

    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    static CControl* FromHandle(HWND hwnd) noexcept;

    virtual void DrawItem(LPDRAWITEMSTRUCT) {}

protected:
    // Called once the window handle is known and before the window procedure is replaced.
    virtual void PreSubclassWindow() {}
    // Return true when handled, with the answer in result; false lets the control's own class run.
    virtual bool OnWndMsg(UINT, WPARAM, LPARAM, LRESULT&) { return false; }
    // The control's own handling of the message being dispatched.
    LRESULT Default();

private:
    void Detach() noexcept;
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;
    struct Current {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    } m_current{};
};

class CButton : public CControl {};
class CStatic : public CControl {};

// Its text in UTF-16, as typed or pasted, whatever the system's code page.
class CEdit : public CControl {
public:
    std::wstring GetText() const;
    void SetText(const std::wstring& text) const { ::SetWindowTextW(m_hWnd, text.c_str()); }
};

// The system progress control; here only the store of the install progress.
class CProgressCtrl : public CControl {
public:
    void SetRange32(int lower, int upper) const { SendMessage(PBM_SETRANGE32, lower, upper); }
    void SetPos(int pos) const { SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos)); }
    int GetUpper() const { return static_cast<int>(SendMessage(PBM_GETRANGE, FALSE, 0)); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
};
