// The installer's application object: one per session, starts sockets and runs the main window.
#include "app/update_app.h"

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include "app/single_instance.h"
#include "app/update_dlg.h"
#include "platform/dll_search.h"
#include "platform/handles.h"
#include "qelmora_config.h"
#include "res/resource.h"

namespace {

CUpdateApp theApp;

// WSAStartup for the program's life; WSACleanup only when it succeeded.
class SocketsScope {
public:
    SocketsScope() noexcept
    {
        WSADATA data = {};
        m_ok = ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
        if (m_ok && data.wVersion != MAKEWORD(1, 1)) {
            ::WSACleanup();
            m_ok = false;
        }
    }
    ~SocketsScope() { if (m_ok) ::WSACleanup(); }
    SocketsScope(const SocketsScope&) = delete;
    SocketsScope& operator=(const SocketsScope&) = delete;
    bool ok() const noexcept { return m_ok; }

private:
    bool m_ok = false;
};

// An https address gives port 443 unless it names one, and secure requests.
void SplitUrl(const char* url, std::string& server, std::string& object, INTERNET_PORT& port, bool& secure)
{
    char host[INTERNET_MAX_HOST_NAME_LENGTH] = {};
    char path[INTERNET_MAX_PATH_LENGTH] = {};
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    if (!::InternetCrackUrlA(url, 0, 0, &parts))
        return;
    server = host;
    object = path;
    port = parts.nPort;
    secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
}

}  // namespace

BOOL CUpdateApp::InitInstance()
{
    // Two installs into one folder would fight over the same files and the uninstall script: a
    // second start only shows the running one, before it opens a window, a connection or a file.
    SingleInstance instance;
    if (!instance.IsFirst()) {
        instance.ActivateFirst();
        return FALSE;
    }

    SocketsScope sockets;
    if (!sockets.ok()) {
        wchar_t text[256] = {};
        ::LoadStringW(m_hInstance, IDS_SOCKETS_INIT_FAILED, text, sizeof text / sizeof text[0]);
        AppMessageBox(nullptr, std::wstring(text), MB_OK);
        return FALSE;
    }

    // COM on the window's thread for the window's life: the skin pictures are decoded through it, and
    // the shell calls made from this thread nest in it.
    com_apartment com;
    CUpdateDlg dlg;
    bool secure = false;
    SplitUrl(QELMORA_MANIFEST_URL, dlg.m_strServer, dlg.m_strObject, dlg.m_nPort, secure);
    if (secure)
        dlg.m_dwRequestFlags |= INTERNET_FLAG_SECURE;   // the system's certificate checks, never lowered
    dlg.m_pSingleInstance = &instance;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    instance.PublishWindow(nullptr);
    if (dlg.IsWorkerAbandoned()) {
        // The worker is still blocked in a download that WinINet will not give back; its script is
        // finished and closed, and its temporary file gone. End here, before the objects it uses are
        // freed, and without the DLL shut-down that would wait on the blocked thread.
        ::TerminateProcess(::GetCurrentProcess(), 0);
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    RestrictDllSearchToSystem32();   // before the first call into a delay-loaded DLL
    return RunApplication(hInstance);
}
