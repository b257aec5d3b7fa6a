// The main window's other buttons: finish with the install report, agreement link, agree box, minimise.
#include "app/update_dlg.h"

#include <shellapi.h>

#include "qelmora_config.h"
#include "shell/report_address.h"

namespace {

// Opens an address in the user's default browser; the outcome is not examined.
void OpenInBrowser(const std::string& address)
{
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = address.c_str();
    ::ShellExecuteExA(&info);
    if (info.hProcess)
        ::CloseHandle(info.hProcess);   // the handle is not used; it is not leaked either
}

}  // namespace

void CUpdateDlg::SendInstallReport()
{
    char name[MAX_PATH] = {};
    DWORD size = sizeof name;
    ::GetComputerNameA(name, &size);
    OpenInBrowser(InstallReportAddress(QELMORA_REPORT_URL, name, kReportTypeInstalled));
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
