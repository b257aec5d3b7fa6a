// The main window's other buttons: finish with the install report, agreement link, agree box, minimise.
#include "app/update_dlg.h"

#include <shellapi.h>

#include "platform/wide_names.h"
#include "qelmora_config.h"
#include "shell/report_address.h"

namespace {

// Opens an address (code page 936, as the build and the report give it) in the user's default browser; the
// outcome is not examined.
void OpenInBrowser(const std::string& address)
{
    const std::wstring wide = WideFrom936(address);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    info.lpFile = wide.c_str();
    ::ShellExecuteExW(&info);
    if (info.hProcess)
        ::CloseHandle(info.hProcess);   // the handle is not used; it is not leaked either
}

// The computer's name in code page 936, as the report carries it; empty for a name that has no form there.
std::string ComputerName936()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    std::string text;
    if (!::GetComputerNameW(name, &size) || !Cp936FromWide(std::wstring(name, size), text))
        text.clear();
    return text;
}

}  // namespace

void CUpdateDlg::SendInstallReport()
{
    OpenInBrowser(InstallReportAddress(QELMORA_REPORT_URL, ComputerName936(), kReportTypeInstalled));
    CDialog::OnOK();
}

void CUpdateDlg::OnAgreement()
{
    OpenInBrowser(QELMORA_AGREEMENT_URL);
}

void CUpdateDlg::OnAgree()
{
    m_bAgree = m_bAgree ? FALSE : TRUE;
}

void CUpdateDlg::OnMinimize()
{
    ShowWindow(SW_MINIMIZE);
}

void CUpdateDlg::OnPathOption()
{
    if (m_dlgPath.IsWindowVisible()) {
        if (!m_dlgPath.CheckTypedFolder())
            return;   // the panel stays open with the text selected
        m_dlgPath.ShowWindow(SW_HIDE);
        m_strInstallDir = m_dlgPath.CheckedFolder();
        return;
    }
    GetWindowRect(&m_dlgPath.m_rcOwner);
    m_dlgPath.m_strPath = WideFrom936(m_strInstallDir);
    m_dlgPath.m_editPath.SetText(m_dlgPath.m_strPath);
    m_dlgPath.UpdateData(FALSE);
    // Opened from the keyboard, the panel shows where its focus is from the start, as this window does.
    if ((SendMessage(WM_QUERYUISTATE) & UISF_HIDEFOCUS) == 0)
        m_dlgPath.SendMessage(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS));
    m_dlgPath.ShowWindow(SW_SHOWNORMAL);
}

LRESULT CUpdateDlg::OnMove()
{
    // Dragging the window drags a visible chooser along under it; a hidden one is placed when shown.
    if (m_dlgPath.m_hWnd && m_dlgPath.IsWindowVisible()) {
        RECT main;
        RECT chooser;
        GetWindowRect(&main);
        m_dlgPath.GetWindowRect(&chooser);
        m_dlgPath.MoveWindow(main.left, main.bottom, chooser.right - chooser.left, chooser.bottom - chooser.top, TRUE);
    }
    return 0;
}

LRESULT CUpdateDlg::OnSize(WPARAM sizeType)
{
    if (sizeType == SIZE_MINIMIZED || sizeType == SIZE_RESTORED)
        m_dlgPath.FollowOwner(sizeType == SIZE_MINIMIZED);
    return 0;
}
