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
    std::wstring m_wstrAppName;      // the executable's base name, the caption of its message boxes
    std::string m_strAppName;        // the same in code page 936, as on every system; empty when it has none
    CWnd* m_pMainWnd = nullptr;

private:
    friend int RunApplication(HINSTANCE hInstance);
    static CWinApp* s_pApp;
};

// A skin picture of the application (its low 16 bits are the id) as a bitmap; null when there is none
// or it does not decode.
HBITMAP LoadAppBitmap(UINT id);

// Message box with the application's name as caption; text in UTF-16, or one of the program's code page
// 936 texts.
int AppMessageBox(HWND owner, const std::wstring& text, UINT type);
int AppMessageBox(HWND owner, const char* text936, UINT type);

int RunApplication(HINSTANCE hInstance);
