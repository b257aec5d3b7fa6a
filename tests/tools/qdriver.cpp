// Test-side driver for the installer's windows under Wine: finds them, reads and clicks controls,
// reads shell links back.
//
//   qdriver wait-window MS          main window up: prints "window L T R B"
//   qdriver wait-gone MS            main window gone
//   qdriver visible ID              prints 1 or 0
//   qdriver wait-visible ID MS      waits until control ID is visible
//   qdriver rect ID                 screen rectangle of control ID (0: the window itself)
//   qdriver click ID                clicks control ID (posted, so a modal answer does not block us)
//   qdriver progress                prints "progress UPPER POS"
//   qdriver wait-dialog MS          a second top-level dialog of the installer is up: its rectangle
//   qdriver lnk PATH                prints the fields of a shell link
//
// Exit code 0 on success, 1 on a time-out or a missing window.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/handles.h"

namespace {

bool IsInstallerMainWindow(HWND hwnd)
{
    char cls[64] = {};
    ::GetClassNameA(hwnd, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0)
        return false;
    HWND progress = ::GetDlgItem(hwnd, 1002);
    if (!progress)
        return false;
    ::GetClassNameA(progress, cls, sizeof cls);
    return std::strcmp(cls, "msctls_progress32") == 0 && ::GetDlgItem(hwnd, 1019) != nullptr;
}

BOOL CALLBACK MatchMainWindow(HWND hwnd, LPARAM lp)
{
    if (IsInstallerMainWindow(hwnd)) {
        *reinterpret_cast<HWND*>(lp) = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindMainWindow()
{
    HWND found = nullptr;
    ::EnumWindows(&MatchMainWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct OtherDialogSearch {
    HWND main;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchOtherDialog(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<OtherDialogSearch*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = {};
    ::GetClassNameA(hwnd, cls, sizeof cls);
    if (hwnd != s->main && pid == s->pid && std::strcmp(cls, "#32770") == 0 && ::IsWindowVisible(hwnd)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level dialog of the same process that is not the main window (the notice).
HWND FindOtherDialog(HWND main)
{
    OtherDialogSearch search = {main, 0, nullptr};
    ::GetWindowThreadProcessId(main, &search.pid);
    ::EnumWindows(&MatchOtherDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

template <typename Pred>
bool WaitFor(DWORD ms, Pred pred)
{
    const DWORD start = ::GetTickCount();
    do {
        if (pred())
            return true;
        ::Sleep(50);
    } while (::GetTickCount() - start < ms);
    return pred();
}

void PrintRect(const char* label, HWND hwnd)
{
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    std::printf("%s %ld %ld %ld %ld\n", label, rc.left, rc.top, rc.right, rc.bottom);
}

int PrintLink(const char* path)
{
    com_apartment com;
    com_ptr<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put_void())))
        return 1;
    com_ptr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void())))
        return 1;
    wchar_t wide[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
    if (FAILED(persist->Load(wide, STGM_READ)))
        return 1;
    char text[1024];
    WIN32_FIND_DATAA fd;
    text[0] = 0;
    link->GetPath(text, sizeof text, &fd, SLGP_RAWPATH);
    std::printf("target=%s\n", text);
    text[0] = 0;
    link->GetDescription(text, sizeof text);
    std::printf("description=%s\n", text);
    text[0] = 0;
    link->GetWorkingDirectory(text, sizeof text);
    std::printf("workdir=%s\n", text);
    text[0] = 0;
    link->GetArguments(text, sizeof text);
    std::printf("arguments=%s\n", text);
    int iconIndex = 0;
    text[0] = 0;
    link->GetIconLocation(text, sizeof text, &iconIndex);
    std::printf("icon=%s\n", text);
    WORD hotkey = 0;
    link->GetHotkey(&hotkey);
    std::printf("hotkey=0x%04X\n", hotkey);
    int show = 0;
    link->GetShowCmd(&show);
    std::printf("showcmd=%d\n", show);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string cmd = argv[1];
    const long arg = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
    const long arg2 = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 0;
    int rc = 1;

    if (cmd == "lnk" && argc > 2) {
        rc = PrintLink(argv[2]);
    } else if (cmd == "wait-window") {
        HWND main = nullptr;
        if (WaitFor(static_cast<DWORD>(arg), [&] { main = FindMainWindow(); return main && ::IsWindowVisible(main); })) {
            PrintRect("window", main);
            rc = 0;
        }
    } else if (cmd == "wait-gone") {
        rc = WaitFor(static_cast<DWORD>(arg), [] { return FindMainWindow() == nullptr; }) ? 0 : 1;
    } else if (HWND main = FindMainWindow()) {
        if (cmd == "visible") {
            std::printf("%d\n", ::IsWindowVisible(::GetDlgItem(main, static_cast<int>(arg))) ? 1 : 0);
            rc = 0;
        } else if (cmd == "wait-visible") {
            HWND item = ::GetDlgItem(main, static_cast<int>(arg));
            rc = WaitFor(static_cast<DWORD>(arg2), [&] { return ::IsWindowVisible(item) != FALSE; }) ? 0 : 1;
        } else if (cmd == "rect") {
            PrintRect("rect", arg == 0 ? main : ::GetDlgItem(main, static_cast<int>(arg)));
            rc = 0;
        } else if (cmd == "click") {
            rc = ::PostMessageA(::GetDlgItem(main, static_cast<int>(arg)), BM_CLICK, 0, 0) ? 0 : 1;
        } else if (cmd == "progress") {
            HWND bar = ::GetDlgItem(main, 1002);
            std::printf("progress %ld %ld\n", static_cast<long>(::SendMessageA(bar, PBM_GETRANGE, FALSE, 0)),
                        static_cast<long>(::SendMessageA(bar, PBM_GETPOS, 0, 0)));
            rc = 0;
        } else if (cmd == "wait-dialog") {
            HWND other = nullptr;
            if (WaitFor(static_cast<DWORD>(arg), [&] { other = FindOtherDialog(main); return other != nullptr; })) {
                PrintRect("dialog", other);
                rc = 0;
            }
        }
    }
    std::fflush(stdout);
    return rc;
}
