// The application object: one per program, its InitInstance runs the program's whole life.
#include "platform/app.h"

#include <commctrl.h>

#include "platform/picture_resource.h"

CWinApp* CWinApp::s_pApp = nullptr;

CWinApp::CWinApp() noexcept { s_pApp = this; }

CWinApp::~CWinApp()
{
    if (s_pApp == this)
        s_pApp = nullptr;
}

namespace {

std::string ExecutableBaseName(HINSTANCE hInstance)
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(hInstance, path, MAX_PATH);
    std::string name = path;
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

}  // namespace

HBITMAP LoadAppBitmap(UINT id)
{
    const CWinApp* app = CWinApp::Current();
    return LoadPictureResource(app ? app->m_hInstance : nullptr, LOWORD(id));
}

int AppMessageBox(HWND owner, const char* text, UINT type)
{
    const CWinApp* app = CWinApp::Current();
    return ::MessageBoxA(owner, text, app ? app->m_strAppName.c_str() : "", type);
}

int RunApplication(HINSTANCE hInstance)
{
    CWinApp* app = CWinApp::s_pApp;
    if (app == nullptr)
        return 1;
    app->m_hInstance = hInstance;
    app->m_strAppName = ExecutableBaseName(hInstance);

    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);

    try {
        app->InitInstance();
    } catch (...) {
        return 1;
    }
    return 0;
}
