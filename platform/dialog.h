// The dialog base: a window built from a dialog template, run modally or modeless.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "platform/controls.h"
#include "platform/dialog_layout.h"
#include "platform/wnd.h"

class CDialog;

// Binding members to template controls (once, when the dialog is initialised) and moving values.
struct CDataExchange {
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;   // TRUE: controls -> members
};
void DDX_Control(CDataExchange* pDX, int id, CControl& control);
void DDX_Check(CDataExchange* pDX, int id, BOOL& value);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParent = nullptr) noexcept;
    ~CDialog() override;

    // Runs the dialog in its own message loop; the owner (the parent, else the application's main
    // window) is disabled meanwhile. Returns what EndDialog was given, or -1 when no window came up.
    INT_PTR DoModal();
    // Creates the dialog modeless; it lives until DestroyWindow.
    BOOL Create(CWnd* pParent = nullptr);
    virtual BOOL DestroyWindow();

    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    bool IsModal() const noexcept { return m_bModal; }

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK();
    virtual void OnCancel();
    // Return true to swallow a message before the dialog manager sees it.
    virtual bool PreTranslateMessage(const MSG& msg);
    // The derived window's message table; true when it handled the message.
    virtual bool OnWndMsg(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

    // Centres over the owner when it is visible, otherwise over the work area.
    void CenterWindow() const;

    // Tab and Shift+Tab visit the controls in these ids' order (the children's z order); the others
    // follow them.
    void SetTabOrder(std::initializer_list<int> ids) const;
    // Another top-level dialog that Tab continues into from this one's last tab stop (and Shift+Tab from
    // its first) while it is visible; none by default.
    virtual HWND TabNeighbour() const { return nullptr; }

    // Lays the template out with these base units, the ones its font has where the art was made,
    // instead of the ones the font found on this system gives. Call before the window is created.
    void UseBaseUnits(DialogBaseUnits units) noexcept { m_fixedUnits = units; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    BOOL HandleInitDialog();
    void LayOutWithFixedUnits();
    static bool PumpOneMessage();
    bool TabIntoNeighbour(bool backwards) const;
    void ChangeUiState(WORD action, WORD flags);

    UINT m_nIDTemplate;
    HWND m_hWndParent;
    bool m_bModal = false;
    bool m_bEndModal = false;
    INT_PTR m_nModalResult = -1;
    bool m_bBound = false;
    DialogBaseUnits m_fixedUnits;   // zero: the system's
    // Whether the window shows focus rectangles and access keys (UISF_ flags), answered to WM_QUERYUISTATE.
    // The dialog keeps it itself: Wine's windows keep none and always report the cues shown. Hidden until
    // the first Tab or arrow key, as on Windows when the mouse started the program.
    WORD m_nUiState = UISF_HIDEFOCUS | UISF_HIDEACCEL;
};
