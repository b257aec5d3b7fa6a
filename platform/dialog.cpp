// The dialog base: a window built from a dialog template, run modally or modeless.
#include "platform/dialog.h"

#include <exception>
#include <vector>

#include "platform/app.h"

namespace {

// Messages whose dialog-procedure answer is the return value itself, not DWLP_MSGRESULT.
bool ReturnsDirectly(UINT msg)
{
    switch (msg) {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM:
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON: case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

const wchar_t kDialogProp[] = L"Qelmora.Dialog";

CDialog* DialogOf(HWND hwnd) { return static_cast<CDialog*>(::GetPropW(hwnd, kDialogProp)); }

// Hands a change of the keyboard cues on to one control (lp: WM_UPDATEUISTATE's wParam).
BOOL CALLBACK TellUiState(HWND child, LPARAM lp)
{
    ::SendMessageW(child, WM_UPDATEUISTATE, static_cast<WPARAM>(lp), 0);
    return TRUE;
}

}  // namespace

void DDX_Control(CDataExchange* pDX, int id, CControl& control)
{
    if (control.m_hWnd == nullptr)
        control.SubclassDlgItem(static_cast<UINT>(id), pDX->m_pDlgWnd);
}

void DDX_Check(CDataExchange* pDX, int id, BOOL& value)
{
    HWND item = pDX->m_pDlgWnd->GetDlgItem(id);
    if (pDX->m_bSaveAndValidate)
        value = ::SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
    else
        ::SendMessageW(item, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParent) noexcept
    : m_nIDTemplate(nIDTemplate), m_hWndParent(pParent ? pParent->m_hWnd : nullptr)
{
}

CDialog::~CDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal()
{
    HWND owner = m_hWndParent;
    CWinApp* app = CWinApp::Current();
    if (owner == nullptr && app && app->m_pMainWnd && app->m_pMainWnd != this)
        owner = app->m_pMainWnd->m_hWnd;
    const bool disabledOwner = owner && ::IsWindowEnabled(owner);
    if (disabledOwner)
        ::EnableWindow(owner, FALSE);

    m_bModal = true;
    m_bEndModal = false;
    m_nModalResult = -1;
    ::CreateDialogParamW(app ? app->m_hInstance : nullptr, MAKEINTRESOURCEW(m_nIDTemplate), owner,
                         &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (m_hWnd != nullptr) {
        if (!m_bEndModal && !::IsWindowVisible(m_hWnd))
            ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
        while (!m_bEndModal && PumpOneMessage()) {
        }
    }
    // Give activation back to the owner before this window goes away.
    if (disabledOwner)
        ::EnableWindow(owner, TRUE);
    if (m_hWnd != nullptr) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        DestroyWindow();
    }
    m_bModal = false;
    return m_nModalResult;
}

bool CDialog::PumpOneMessage()
{
    MSG msg;
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));   // leave WM_QUIT for the outer loop
        return false;
    }
    if (got < 0)
        return false;
    HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    CDialog* dialog = root ? DialogOf(root) : nullptr;
    if (dialog && (dialog->PreTranslateMessage(msg) || ::IsDialogMessageW(root, &msg)))
        return true;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    return true;
}

BOOL CDialog::Create(CWnd* pParent)
{
    if (pParent)
        m_hWndParent = pParent->m_hWnd;
    CWinApp* app = CWinApp::Current();
    m_bModal = false;
    ::CreateDialogParamW(app ? app->m_hInstance : nullptr, MAKEINTRESOURCEW(m_nIDTemplate), m_hWndParent,
                         &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return m_hWnd != nullptr;
}

BOOL CDialog::DestroyWindow()
{
    if (m_hWnd == nullptr)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bEndModal = true;
    if (!m_bModal && m_hWnd)
        ::ShowWindow(m_hWnd, SW_HIDE);   // as the system does for a modeless dialog
    ::PostMessageW(m_hWnd, WM_NULL, 0, 0);   // wake the loop
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx = {this, bSaveAndValidate};
    try {
        DoDataExchange(&dx);
    } catch (const std::exception&) {
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    m_bBound = UpdateData(FALSE) != FALSE;
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::PreTranslateMessage(const MSG& msg)
{
    if (msg.message == WM_KEYDOWN) {
        switch (msg.wParam) {
        case VK_TAB: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
            // The keyboard is in use: from now on the focused control shows where it is.
            ::SendMessageW(m_hWnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
            break;
        default:
            break;
        }
        if (msg.wParam == VK_TAB && ::GetKeyState(VK_CONTROL) >= 0 && ::GetKeyState(VK_MENU) >= 0 &&
            TabIntoNeighbour(::GetKeyState(VK_SHIFT) < 0))
            return true;
    }
    // Enter is always this dialog's OK command, also when a push button has the focus.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        ::SendMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return true;
    }
    if (msg.message == WM_CHAR && msg.wParam == '\r')
        return true;
    return false;
}

void CDialog::ChangeUiState(WORD action, WORD flags)
{
    // Only an explicit set or clear changes the state; UIS_INITIALIZE keeps it, so the cues stay hidden
    // until the keyboard is used and stay shown once it has been.
    const WORD before = m_nUiState;
    flags &= UISF_HIDEFOCUS | UISF_HIDEACCEL;
    if (action == UIS_SET)
        m_nUiState |= flags;
    else if (action == UIS_CLEAR)
        m_nUiState &= static_cast<WORD>(~flags);
    if (m_nUiState == before)
        return;
    ::EnumChildWindows(m_hWnd, &TellUiState, static_cast<LPARAM>(MAKEWPARAM(action, flags)));
}

bool CDialog::TabIntoNeighbour(bool backwards) const
{
    HWND neighbour = TabNeighbour();
    if (!neighbour || !::IsWindowVisible(neighbour) || !::IsWindowEnabled(neighbour))
        return false;
    // Only from this dialog's last tab stop forwards, or its first backwards; elsewhere the dialog
    // manager moves the focus within the dialog.
    HWND first = ::GetNextDlgTabItem(m_hWnd, nullptr, FALSE);
    HWND last = first ? ::GetNextDlgTabItem(m_hWnd, first, TRUE) : nullptr;
    HWND focus = ::GetFocus();
    if (!focus || focus != (backwards ? first : last))
        return false;
    HWND target = ::GetNextDlgTabItem(neighbour, nullptr, FALSE);
    if (target && backwards)
        target = ::GetNextDlgTabItem(neighbour, target, TRUE);
    if (!target)
        return false;
    ::SetActiveWindow(neighbour);
    ::SendMessageW(neighbour, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    ::SendMessageW(neighbour, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
    return true;
}

void CDialog::SetTabOrder(std::initializer_list<int> ids) const
{
    HWND after = HWND_TOP;
    for (int id : ids) {
        HWND item = ::GetDlgItem(m_hWnd, id);
        if (!item)
            continue;
        ::SetWindowPos(item, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = item;
    }
}

void CDialog::CenterWindow() const
{
    RECT self;
    ::GetWindowRect(m_hWnd, &self);
    RECT area;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &area);
    } else {
        MONITORINFO mi = {};
        mi.cbSize = sizeof mi;
        ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
        area = mi.rcWork;
    }
    const int width = self.right - self.left;
    const int height = self.bottom - self.top;
    const int x = area.left + ((area.right - area.left) - width) / 2;
    const int y = area.top + ((area.bottom - area.top) - height) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::LayOutWithFixedUnits()
{
    CWinApp* app = CWinApp::Current();
    HMODULE module = app ? app->m_hInstance : nullptr;
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(m_nIDTemplate), MAKEINTRESOURCEW(5));   // RT_DIALOG
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const auto* bytes = static_cast<const unsigned char*>(loaded ? ::LockResource(loaded) : nullptr);
    DialogLayout layout;
    if (!bytes || !ReadDialogLayout(bytes, ::SizeofResource(module, resource), layout))
        return;

    // The dialog manager created the controls in template order; a control whose id does not match
    // its template item (none should) keeps the place the system gave it.
    size_t index = 0;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child && index < layout.items.size();
         child = ::GetWindow(child, GW_HWNDNEXT), ++index) {
        const DialogItemLayout& item = layout.items[index];
        if (static_cast<WORD>(::GetDlgCtrlID(child)) != static_cast<WORD>(item.id))
            continue;
        const DialogUnitRect px = DialogUnitsToPixels(item.rect, m_fixedUnits);
        ::SetWindowPos(child, nullptr, px.x, px.y, px.cx, px.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    const DialogUnitRect client = DialogUnitsToPixels(layout.rect, m_fixedUnits);
    RECT frame = {0, 0, client.cx, client.cy};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)));
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CDialog::HandleInitDialog()
{
    // Before the derived window binds its controls and places itself.
    if (m_fixedUnits.x > 0 && m_fixedUnits.y > 0)
        LayOutWithFixedUnits();
    RECT before;
    ::GetWindowRect(m_hWnd, &before);
    const BOOL focusDefault = OnInitDialog();
    RECT after;
    ::GetWindowRect(m_hWnd, &after);
    // A dialog that did not place itself while initialising is centred, as users expect.
    if (before.left == after.left && before.top == after.top)
        CenterWindow();
    return focusDefault;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CDialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->m_hWnd = hwnd;
        ::SetPropW(hwnd, kDialogProp, self);
    } else {
        self = DialogOf(hwnd);
    }
    if (self == nullptr)
        return FALSE;

    INT_PTR answer = FALSE;
    try {
        answer = self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        answer = FALSE;   // no exception leaves a window procedure
    }
    if (msg == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kDialogProp);
        self->m_hWnd = nullptr;
        self->m_bEndModal = true;
    }
    return answer;
}

INT_PTR CDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG)
        return HandleInitDialog();

    LRESULT result = 0;
    if (OnWndMsg(msg, wParam, lParam, result)) {
        if (ReturnsDirectly(msg))
            return static_cast<INT_PTR>(result);
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    switch (msg) {
    case WM_QUERYUISTATE:
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, m_nUiState);
        return TRUE;
    case WM_CHANGEUISTATE:
    case WM_UPDATEUISTATE:
        ChangeUiState(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == BN_CLICKED) {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
        if (CControl* control = CControl::FromHandle(dis->hwndItem)) {
            control->DrawItem(dis);
            ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}
