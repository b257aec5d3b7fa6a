// The application object: one per program, its InitInstance runs the program's whole life.
#pragma once

#include <windows.h>

#include <string>

class CWnd;

class CWinApp {
public:
    CWinApp() noexcept;
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the program; its result decides nothing here, the program ends when it returns.
    virtual BOOL InitInstance() = 0;

    static CWinApp* Current() noexcept { return s_pApp; }

    HINSTANCE m_hInstance = nullptr;
    std::string m_strAppName;        // the executable's base name, also the HTTP user agent
    CWnd* m_pMainWnd = nullptr;

private:
    friend int RunApplication(HINSTANCE hInstance);
    static CWinApp* s_pApp;
};

// A skin picture of the application (its low 16 bits are the id) as a bitmap; null when there is none
// or it does not decode.
HBITMAP LoadAppBitmap(UINT id);

// Message box with the application's name as caption.
int AppMessageBox(HWND owner, const char* text, UINT type);

int RunApplication(HINSTANCE hInstance);
