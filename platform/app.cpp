// The application object: one per program, its InitInstance runs the program's whole life.
#include "platform/app.h"

#include <commctrl.h>

#include "platform/picture_resource.h"
#include "platform/wide_names.h"

CWinApp* CWinApp::s_pApp = nullptr;

CWinApp::CWinApp() noexcept { s_pApp = this; }

CWinApp::~CWinApp()
{
    if (s_pApp == this)
        s_pApp = nullptr;
}

namespace {

std::wstring ExecutableBaseName(HINSTANCE hInstance)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(hInstance, path, MAX_PATH);
    std::wstring name = path;
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    return name;
}

}  // namespace

HBITMAP LoadAppBitmap(UINT id)
{
    const CWinApp* app = CWinApp::Current();
    return LoadPictureResource(app ? app->m_hInstance : nullptr, LOWORD(id));
}

int AppMessageBox(HWND owner, const std::wstring& text, UINT type)
{
    const CWinApp* app = CWinApp::Current();
    return ::MessageBoxW(owner, text.c_str(), app ? app->m_wstrAppName.c_str() : L"", type);
}

int AppMessageBox(HWND owner, const char* text936, UINT type)
{
    return AppMessageBox(owner, WideFrom936(text936 ? text936 : ""), type);
}

int RunApplication(HINSTANCE hInstance)
{
    CWinApp* app = CWinApp::s_pApp;
    if (app == nullptr)
        return 1;
    app->m_hInstance = hInstance;
    app->m_wstrAppName = ExecutableBaseName(hInstance);
    // A name without a code page 936 form is left empty: its users then use a name of their own.
    if (!Cp936FromWide(app->m_wstrAppName, app->m_strAppName))
        app->m_strAppName.clear();

    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);

    try {
        app->InitInstance();
    } catch (...) {
        return 1;
    }
    return 0;
}
