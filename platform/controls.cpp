// Wrappers that attach to a dialog template's controls: subclassing, owner drawing, typed calls.
#include "platform/controls.h"

#include <commctrl.h>

namespace {
const wchar_t kControlProp[] = L"Qelmora.Control";
}

CControl::~CControl() { Detach(); }

BOOL CControl::SubclassDlgItem(UINT id, CWnd* parent)
{
    HWND hwnd = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
    if (hwnd == nullptr || m_hWnd != nullptr)
        return FALSE;
    m_hWnd = hwnd;
    PreSubclassWindow();
    ::SetPropW(hwnd, kControlProp, this);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CControl::SubclassProc)));
    return TRUE;
}

CControl* CControl::FromHandle(HWND hwnd) noexcept
{
    return hwnd ? static_cast<CControl*>(::GetPropW(hwnd, kControlProp)) : nullptr;
}

LRESULT CControl::Default()
{
    return ::CallWindowProcW(m_pfnSuper, m_hWnd, m_current.msg, m_current.wParam, m_current.lParam);
}

void CControl::Detach() noexcept
{
    if (m_hWnd == nullptr)
        return;
    if (::IsWindow(m_hWnd) && m_pfnSuper) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        ::RemovePropW(m_hWnd, kControlProp);
    }
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
}

LRESULT CALLBACK CControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CControl* self = FromHandle(hwnd);
    if (self == nullptr)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);

    const Current saved = self->m_current;
    self->m_current = {msg, wParam, lParam};
    LRESULT result = 0;
    bool handled = false;
    try {
        handled = self->OnWndMsg(msg, wParam, lParam, result);
    } catch (...) {
        handled = false;   // no exception leaves a window procedure
    }
    if (!handled)
        result = self->Default();
    self->m_current = saved;

    if (msg == WM_NCDESTROY)
        self->Detach();
    return result;
}

std::wstring CEdit::GetText() const
{
    const int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(m_hWnd, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}
