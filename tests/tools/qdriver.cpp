// Test-side driver for the installer's windows under Wine: finds them, reads and clicks controls,
// reads shell links back.
//
//   qdriver wait-window MS          main window up: prints "window L T R B"
//   qdriver wait-gone MS            main window gone
//   qdriver visible ID              prints 1 or 0
//   qdriver wait-visible ID MS      waits until control ID is visible
//   qdriver rect ID                 screen rectangle of control ID (0: the window itself)
//   qdriver click ID                clicks control ID (posted, so a modal answer does not block us)
//   qdriver command ID              posts the click command of control ID to the window, visible or not
//   qdriver time-install MS         clicks install, waits for the finish button: "install_ms N"
//   qdriver memory                  the installer's peak working set: "peak_working_set_kib K"
//   qdriver progress                prints "progress UPPER POS"
//   qdriver wait-dialog MS          a second top-level dialog of the installer is up: its rectangle
//   qdriver chooser                 "chooser VISIBLE L T R B HEX" of the folder chooser
//   qdriver chooser-type TEXT       sets the chooser's folder edit
//   qdriver chooser-click ID        clicks a chooser control
//   qdriver wait-browser MS         the shell's folder browser is up: its tree's rectangle
//   qdriver iconic                  prints 1 when the main window is minimised
//   qdriver restore                 restores the minimised main window, as its taskbar button does
//   qdriver chooser-sel             "sel START END FOCUS" of the chooser's edit (FOCUS 1: it has the focus)
//   qdriver wait-msgbox MS          a message box of the installer is up: "msgbox OWNED L T R B HEX",
//                                   OWNED 1 when the main window owns it, HEX its text in code page 936
//   qdriver msgbox-ok               answers that message box with OK
//   qdriver dialog-click ID         clicks control ID of that second dialog
//   qdriver dialog-click-watch ID MS  clicks it, then watches MS ms for a message box that comes up after:
//                                   "msgbox 1 HEX" (its text) or "msgbox 0", also when the program ends meanwhile
//   qdriver layout WHICH            client size and children's client rectangles of the main window,
//                                   the chooser or the second dialog: "client W H", "item ID X Y W H"
//   qdriver capture L T R B FILE    the screen rectangle as Windows sees it, as a 24-bit BMP
//   qdriver computername            GetComputerNameA
//   qdriver version EXE             EXE's version resource: "fixed FILEVER PRODUCTVER", "translation LLLLCCCC"
//                                   and "NAME HEX" for each string of its 080404b0 block (code page 936)
//   qdriver pixel X Y               the screen pixel at X, Y as Windows sees it (0x00BBGGRR)
//   qdriver lnk PATH                prints the fields of a shell link
//   qdriver template EXE ID         dumps dialog template ID of EXE (texts as code-page-936 hex)
//   qdriver string EXE ID           string resource ID of EXE as the A functions give it, in hex
//   qdriver folders                 the user's Desktop and Programs folders, one a line
//   qdriver hold PATH MS            keeps PATH open without sharing for MS milliseconds
//   qdriver mutex NAME MS           holds the named mutex NAME for MS milliseconds
//   qdriver windows                 prints how many installer main windows are up
//   qdriver hover-leave X Y AX AY   cursor onto X,Y, then away to AX,AY: "hover-leave ENTER_MS LEAVE_MS",
//                                   how long the screen pixel at X,Y took to change and to come back
//   qdriver start-time EXE MS       starts EXE and closes it again: "start_ms WINDOW IDLE CPU", the time
//                                   from its start to its visible main window and to its first wait for
//                                   input, and the processor time it had used by then
//
// Whatever the system's code page, these take and print texts as hex of their UTF-8 bytes (U8HEX):
//   qdriver codepages               "acp N oemcp M"
//   qdriver lnkw U8HEX              the fields of a shell link read through IShellLinkW, "NAME U8HEX" each
//   qdriver shell-open U8HEX MS     opens a file through the shell as a double click does and waits for
//                                   what it started: "exit N", or "started" when the shell gives no process
//                                   (Wine's, for a link)
//   qdriver script-name U8HEX       how unload.bat names that path: "name HEX" (its bytes) or "none"
//   qdriver chooser-paste U8HEX     pastes a text over the chooser's whole folder text
//   qdriver chooserw                "chooser VISIBLE U8HEX" of the folder chooser
//   qdriver wait-msgboxw MS         a message box of the installer is up: "msgbox U8HEX" of its text
//   qdriver names WHICH             the window text of the main window, the chooser or the second dialog and
//                                   of each child: "window U8HEX MSAA" then "item ID U8HEX MSAA", MSAA the
//                                   name that AccessibleObjectFromWindow gives (U8HEX), "-" for none
//   qdriver focus                   where the installer's keyboard focus is: "focus WHICH ID CUES", WHICH
//                                   main, chooser, dialog or none, CUES 1 when that window shows focus cues
//   qdriver starting-first U8HEX    stands in for a first start that has published its window but shows it,
//                                   minimised, only once the file U8HEX exists; then "restored 1" when a
//                                   second start restored it within 10 s, else "restored 0"
//
// Exit code 0 on success, 1 on a time-out or a missing window.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <psapi.h>
#include <shellapi.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/wide_names.h"
#include "shell/uninstall_script.h"

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

BOOL CALLBACK CountMainWindows(HWND hwnd, LPARAM lp)
{
    if (IsInstallerMainWindow(hwnd) && ::IsWindowVisible(hwnd))
        ++*reinterpret_cast<int*>(lp);
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
    if (hwnd != s->main && pid == s->pid && std::strcmp(cls, "#32770") == 0 && ::IsWindowVisible(hwnd) &&
        ::GetDlgItem(hwnd, 1021) == nullptr) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level dialog of the same process that is neither the main window nor the folder
// chooser: the notice or a message box.
HWND FindOtherDialog(HWND main)
{
    OtherDialogSearch search = {main, 0, nullptr};
    ::GetWindowThreadProcessId(main, &search.pid);
    ::EnumWindows(&MatchOtherDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A top-level window of the installer's process that holds a child of the given class (or, with
// id != 0, a child with that id); visible ones only when asked.
struct ChildSearch {
    DWORD pid;
    const char* childClass;
    int childId;
    HWND found;
};

BOOL CALLBACK MatchChildClass(HWND child, LPARAM lp)
{
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    char cls[64] = {};
    ::GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, s->childClass) == 0) {
        s->found = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK MatchTopWithChild(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->pid || IsInstallerMainWindow(hwnd))
        return TRUE;
    if (s->childId != 0) {
        if (::GetDlgItem(hwnd, s->childId)) {
            s->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    ChildSearch inner = {0, s->childClass, 0, nullptr};
    ::EnumChildWindows(hwnd, &MatchChildClass, reinterpret_cast<LPARAM>(&inner));
    if (inner.found && ::IsWindowVisible(hwnd)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopWithChild(HWND main, const char* childClass, int childId)
{
    ChildSearch search = {0, childClass, childId, nullptr};
    ::GetWindowThreadProcessId(main, &search.pid);
    ::EnumWindows(&MatchTopWithChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The longest static text of a window: a message box's message.
BOOL CALLBACK KeepLongestStatic(HWND child, LPARAM lp)
{
    auto* longest = reinterpret_cast<std::string*>(lp);
    char cls[64] = {};
    ::GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") != 0)
        return TRUE;
    char text[1024] = {};
    ::SendMessageA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    if (std::strlen(text) > longest->size())
        *longest = text;
    return TRUE;
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

BOOL CALLBACK PrintChildLayout(HWND child, LPARAM lp)
{
    HWND top = reinterpret_cast<HWND>(lp);
    if (::GetParent(child) != top)
        return TRUE;
    RECT rc;
    ::GetWindowRect(child, &rc);
    ::MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&rc), 2);
    std::printf("item %d %ld %ld %ld %ld\n", ::GetDlgCtrlID(child), rc.left, rc.top, rc.right - rc.left,
                rc.bottom - rc.top);
    return TRUE;
}

// The pixel layout of a dialog: its client size, then each direct child in template order.
int PrintLayout(HWND top)
{
    if (!top)
        return 1;
    RECT client;
    ::GetClientRect(top, &client);
    std::printf("client %ld %ld\n", client.right, client.bottom);
    ::EnumChildWindows(top, &PrintChildLayout, reinterpret_cast<LPARAM>(top));
    return 0;
}

std::string Hex(const std::string& bytes)
{
    std::string out;
    char two[3];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", c);
        out += two;
    }
    return out;
}

// A sz_Or_Ord field of a dialog template: none, an ordinal "#n", or a string (as code page 936).
const WORD* ReadSzOrOrd(const WORD* p, std::string& text)
{
    if (*p == 0x0000) {
        text.clear();
        return p + 1;
    }
    if (*p == 0xFFFF) {
        text = "#" + std::to_string(p[1]);
        return p + 2;
    }
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(p);
    const size_t length = wcslen(wide);
    char buffer[1024] = {};
    ::WideCharToMultiByte(936, 0, wide, static_cast<int>(length), buffer, sizeof buffer - 1, nullptr, nullptr);
    text = "s" + Hex(buffer);
    return p + length + 1;
}

int DumpTemplate(const char* exe, int id)
{
    HMODULE module = ::LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC res = module ? ::FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_DIALOG)) : nullptr;
    if (!res)
        return 1;
    const WORD* p = static_cast<const WORD*>(::LockResource(::LoadResource(module, res)));
    if (p[0] != 1 || p[1] != 0xFFFF)
        return 1;   // not DLGTEMPLATEEX
    const DWORD* d = reinterpret_cast<const DWORD*>(p + 2);
    const DWORD exStyle = d[1], style = d[2];
    p = reinterpret_cast<const WORD*>(d + 3);
    const WORD count = *p++;
    const short* r = reinterpret_cast<const short*>(p);
    std::printf("dialog style=%08lX exstyle=%08lX rect=%d,%d,%d,%d items=%u\n", style, exStyle, r[0], r[1], r[2],
                r[3], count);
    p += 4;
    std::string menu, cls, title, face;
    p = ReadSzOrOrd(p, menu);
    p = ReadSzOrOrd(p, cls);
    p = ReadSzOrOrd(p, title);
    if (style & DS_SETFONT) {
        const WORD points = p[0], weight = p[1];
        const BYTE* b = reinterpret_cast<const BYTE*>(p + 2);
        p = ReadSzOrOrd(p + 3, face);
        std::printf("font %u %u %u %u %s\n", points, weight, b[0], b[1], face.c_str());
    }
    for (WORD i = 0; i < count; ++i) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3));
        const DWORD* item = reinterpret_cast<const DWORD*>(p);
        const short* ir = reinterpret_cast<const short*>(item + 3);
        const DWORD itemId = *reinterpret_cast<const DWORD*>(ir + 4);
        p = reinterpret_cast<const WORD*>(ir + 6);
        std::string itemClass, text;
        p = ReadSzOrOrd(p, itemClass);
        p = ReadSzOrOrd(p, text);
        const WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
        std::printf("item id=%ld class=%s style=%08lX exstyle=%08lX rect=%d,%d,%d,%d text=%s\n",
                    static_cast<long>(static_cast<int>(itemId)), itemClass.c_str(), item[2], item[1], ir[0], ir[1],
                    ir[2], ir[3], text.c_str());
    }
    return 0;
}

int DumpString(const char* exe, int id)
{
    HMODULE module = ::LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    char text[512] = {};
    const int length = module ? ::LoadStringA(module, static_cast<UINT>(id), text, sizeof text) : 0;
    if (length <= 0)
        return 1;
    std::printf("%s\n", Hex(std::string(text, static_cast<size_t>(length))).c_str());
    return 0;
}

COLORREF ScreenPixel(int x, int y)
{
    window_dc screen(nullptr);
    return ::GetPixel(screen.get(), x, y);
}

// Milliseconds until the screen pixel at x, y changes to (or, with equal false, away from) the
// colour given; -1 when it does not within limitMs. Timed here, next to the cursor moves, because
// starting a program under Wine takes longer than the look takes to change.
long MsUntilPixel(int x, int y, COLORREF colour, bool equal, DWORD limitMs)
{
    const DWORD start = ::GetTickCount();
    do {
        if ((ScreenPixel(x, y) == colour) == equal)
            return static_cast<long>(::GetTickCount() - start);
        ::Sleep(2);
    } while (::GetTickCount() - start < limitMs);
    return -1;
}

int HoverLeave(int x, int y, int awayX, int awayY)
{
    ::SetCursorPos(awayX, awayY);
    ::Sleep(400);
    const COLORREF normal = ScreenPixel(x, y);
    ::SetCursorPos(x, y);
    const long enterMs = MsUntilPixel(x, y, normal, false, 3000);
    // Leave well inside the first period of the button's leave poll, whatever its length.
    ::Sleep(300);
    ::SetCursorPos(awayX, awayY);
    const long leaveMs = MsUntilPixel(x, y, normal, true, 3000);
    std::printf("hover-leave %ld %ld\n", enterMs, leaveMs);
    return enterMs >= 0 && leaveMs >= 0 ? 0 : 1;
}

// Writes the screen rectangle as Windows sees it to a 24-bit BMP file.
int CaptureScreen(int left, int top, int right, int bottom, const char* path)
{
    const int width = right - left;
    const int height = bottom - top;
    if (width <= 0 || height <= 0)
        return 1;
    HDC screen = ::GetDC(nullptr);
    unique_memory_dc memory(::CreateCompatibleDC(screen));
    unique_hbitmap shot(::CreateCompatibleBitmap(screen, width, height));
    {
        select_guard selectShot(memory.get(), shot.get());
        ::BitBlt(memory.get(), 0, 0, width, height, screen, left, top, SRCCOPY);
    }
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::string pixels(stride * static_cast<DWORD>(height), '\0');
    ::GetDIBits(memory.get(), shot.get(), 0, static_cast<UINT>(height), &pixels[0],
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = std::fopen(path, "wb");
    if (!out)
        return 1;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    std::fclose(out);
    return 0;
}

// Reads the version resource back the way Explorer's properties page does.
int PrintVersion(const char* exe)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(exe, &ignored);
    if (size == 0)
        return 1;
    std::vector<char> data(size);
    if (!::GetFileVersionInfoA(exe, 0, size, data.data()))
        return 1;
    void* value = nullptr;
    UINT length = 0;
    if (::VerQueryValueA(data.data(), "\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        std::printf("fixed %u.%u.%u.%u %u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                    HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS), HIWORD(fixed->dwProductVersionMS),
                    LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS));
    }
    if (::VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
        const auto* pair = static_cast<const WORD*>(value);
        std::printf("translation %04x%04x\n", pair[0], pair[1]);
    }
    static const char* const kNames[] = {"CompanyName", "FileDescription", "FileVersion", "InternalName",
                                         "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"};
    for (const char* name : kNames) {
        const std::string query = std::string("\\StringFileInfo\\080404b0\\") + name;
        if (::VerQueryValueA(data.data(), query.c_str(), &value, &length) && value)
            std::printf("%s %s\n", name, Hex(static_cast<const char*>(value)).c_str());
    }
    return 0;
}

struct ProcessWindowSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchProcessMainWindow(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<ProcessWindowSearch*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->pid && IsInstallerMainWindow(hwnd) && ::IsWindowVisible(hwnd)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Starts the installer, times it to its visible window (polled every millisecond) and to its first wait
// for input (its window initialised and painted), then closes it with its close button.
int StartTime(const char* exe, DWORD timeoutMs)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string commandLine = std::string("\"") + exe + "\"";
    LARGE_INTEGER frequency, started, now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&started);
    if (!::CreateProcessA(exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 1;
    unique_kernel_handle process(pi.hProcess);
    unique_kernel_handle thread(pi.hThread);
    const auto elapsedMs = [&] {
        ::QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - started.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    };
    ProcessWindowSearch search = {pi.dwProcessId, nullptr};
    double windowMs = -1;
    while (elapsedMs() < timeoutMs) {
        ::EnumWindows(&MatchProcessMainWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            windowMs = elapsedMs();
            break;
        }
        ::Sleep(1);
    }
    double idleMs = -1;
    double cpuMs = -1;
    if (search.found && ::WaitForInputIdle(process.get(), timeoutMs) == 0) {
        idleMs = elapsedMs();
        // What the process itself has computed by then: far steadier on a busy machine than wall time.
        FILETIME created, ended, kernel, user;
        if (::GetProcessTimes(process.get(), &created, &ended, &kernel, &user)) {
            const auto ticks = [](const FILETIME& t) {
                return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
            };
            cpuMs = static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
        }
    }
    if (search.found)
        ::PostMessageA(::GetDlgItem(search.found, 1019), BM_CLICK, 0, 0);
    if (::WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.get(), 1);   // the child this command started, by its own handle
    if (windowMs < 0 || idleMs < 0)
        return 1;
    std::printf("start_ms %.1f %.1f %.1f\n", windowMs, idleMs, cpuMs);
    return 0;
}

std::string HexUtf8(const std::wstring& text)
{
    std::string bytes;
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (size > 0) {
        bytes.resize(static_cast<size_t>(size));
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                              nullptr);
    }
    return Hex(bytes);
}

std::wstring FromHexUtf8(const char* hex)
{
    std::string bytes;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        bytes.push_back(static_cast<char>(std::strtol(std::string(hex + i, 2).c_str(), nullptr, 16)));
    std::wstring text(bytes.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                             static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

int PrintLinkW(const std::wstring& path)
{
    com_apartment com;
    com_ptr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
        return 1;
    com_ptr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void())) ||
        FAILED(persist->Load(path.c_str(), STGM_READ)))
        return 1;
    wchar_t text[1024] = {};
    WIN32_FIND_DATAW fd;
    link->GetPath(text, 1024, &fd, SLGP_RAWPATH);
    std::printf("target %s\n", HexUtf8(text).c_str());
    text[0] = 0;
    link->GetDescription(text, 1024);
    std::printf("description %s\n", HexUtf8(text).c_str());
    WORD hotkey = 0;
    link->GetHotkey(&hotkey);
    std::printf("hotkey 0x%04X\n", hotkey);
    return 0;
}

int ShellOpen(const std::wstring& path, DWORD ms)
{
    com_apartment com;
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info))
        return 1;
    if (!info.hProcess) {
        std::printf("started\n");
        return 0;
    }
    unique_kernel_handle process(info.hProcess);
    if (::WaitForSingleObject(process.get(), ms) != WAIT_OBJECT_0)
        return 1;
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    std::printf("exit %lu\n", static_cast<unsigned long>(code));
    return 0;
}

// A first start as the installer announces itself: the session's mutex, then the record with a window
// that is not shown yet.
int StartingFirst(const std::wstring& signal)
{
    unique_kernel_handle mutex(::CreateMutexA(nullptr, FALSE, "Local\\QelmoraSetup"));
    unique_kernel_handle mapping(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8,
                                                      "Local\\QelmoraSetup.Window"));
    unique_mapped_view view(mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 8) : nullptr);
    HWND window = ::CreateWindowExW(0, L"STATIC", L"first", WS_OVERLAPPEDWINDOW, 100, 100, 200, 100, nullptr,
                                    nullptr, nullptr, nullptr);
    if (!mutex || !view || !window) {
        std::printf("not started: %s (error %lu)\n", !mutex ? "mutex" : !view ? "record" : "window",
                    static_cast<unsigned long>(::GetLastError()));
        return 1;
    }
    auto* record = static_cast<volatile LONG*>(view.get());
    ::InterlockedExchange(&record[1], static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)));
    ::InterlockedExchange(&record[0], 1);
    std::printf("published\n");
    std::fflush(stdout);
    const auto pump = [](DWORD ms) {
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < ms) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageW(&msg);
            ::Sleep(10);
        }
    };
    for (DWORD waited = 0; waited < 30000 && ::GetFileAttributesW(signal.c_str()) == INVALID_FILE_ATTRIBUTES;
         waited += 50)
        pump(50);
    ::ShowWindow(window, SW_SHOWMINNOACTIVE);
    std::printf("shown\n");
    std::fflush(stdout);
    const DWORD start = ::GetTickCount();
    while (::IsIconic(window) && ::GetTickCount() - start < 10000)
        pump(50);
    std::printf("restored %d\n", ::IsIconic(window) ? 0 : 1);
    ::DestroyWindow(window);
    return 0;
}

// The longest static text of a window, read in UTF-16.
BOOL CALLBACK KeepLongestStaticW(HWND child, LPARAM lp)
{
    auto* longest = reinterpret_cast<std::wstring*>(lp);
    wchar_t cls[64] = {};
    ::GetClassNameW(child, cls, 64);
    if (lstrcmpiW(cls, L"Static") != 0)
        return TRUE;
    wchar_t text[1024] = {};
    ::SendMessageW(child, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    if (wcslen(text) > longest->size())
        *longest = text;
    return TRUE;
}

// The name a screen reader reads for a window, through the accessibility object the system makes for it.
std::string AccessibleNameHex(HWND hwnd)
{
    com_ptr<IAccessible> accessible;
    if (FAILED(::AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible), accessible.put_void())))
        return "-";
    VARIANT self;
    ::VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (accessible->get_accName(self, &name) != S_OK || !name)
        return "-";
    const std::string hex = HexUtf8(std::wstring(name, ::SysStringLen(name)));
    ::SysFreeString(name);
    return hex.empty() ? "-" : hex;
}

std::string WindowTextHex(HWND hwnd)
{
    wchar_t text[512] = {};   // another process's window: WM_GETTEXT copies its text across
    ::SendMessageW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return HexUtf8(text);
}

BOOL CALLBACK PrintChildName(HWND child, LPARAM lp)
{
    if (::GetParent(child) == reinterpret_cast<HWND>(lp))
        std::printf("item %d %s %s\n", ::GetDlgCtrlID(child), WindowTextHex(child).c_str(),
                    AccessibleNameHex(child).c_str());
    return TRUE;
}

int PrintNames(HWND top)
{
    if (!top)
        return 1;
    com_apartment com;
    std::printf("window %s %s\n", WindowTextHex(top).c_str(), AccessibleNameHex(top).c_str());
    ::EnumChildWindows(top, &PrintChildName, reinterpret_cast<LPARAM>(top));
    return 0;
}

int PrintFocus(HWND main)
{
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(main, nullptr), &gui);
    HWND focus = gui.hwndFocus;
    HWND top = focus ? ::GetAncestor(focus, GA_ROOT) : nullptr;
    const char* which = !top ? "none" : top == main ? "main" : ::GetDlgItem(top, 1021) ? "chooser" : "dialog";
    // The installer's dialogs keep the cue state themselves (Wine's controls keep none).
    const LRESULT state = top ? ::SendMessageW(top, WM_QUERYUISTATE, 0, 0) : UISF_HIDEFOCUS;
    std::printf("focus %s %d %d\n", which, focus && focus != top ? ::GetDlgCtrlID(focus) : 0,
                (state & UISF_HIDEFOCUS) ? 0 : 1);
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

    if (cmd == "codepages") {
        std::printf("acp %u oemcp %u\n", ::GetACP(), ::GetOEMCP());
        rc = 0;
    } else if (cmd == "lnkw" && argc > 2) {
        rc = PrintLinkW(FromHexUtf8(argv[2]));
    } else if (cmd == "shell-open" && argc > 3) {
        rc = ShellOpen(FromHexUtf8(argv[2]), static_cast<DWORD>(arg2));
    } else if (cmd == "script-name" && argc > 2) {
        std::string name;
        if (ScriptNameOf(FromHexUtf8(argv[2]), name))
            std::printf("name %s\n", Hex(name).c_str());
        else
            std::printf("none\n");
        rc = 0;
    } else if (cmd == "starting-first" && argc > 2) {
        rc = StartingFirst(FromHexUtf8(argv[2]));
    } else if (cmd == "capture" && argc > 6) {
        rc = CaptureScreen(static_cast<int>(arg), static_cast<int>(arg2), std::atoi(argv[4]), std::atoi(argv[5]), argv[6]);
    } else if (cmd == "version" && argc > 2) {
        rc = PrintVersion(argv[2]);
    } else if (cmd == "computername") {
        char name[MAX_PATH] = {};
        DWORD size = sizeof name;
        ::GetComputerNameA(name, &size);
        std::printf("%s\n", name);
        rc = 0;
    } else if (cmd == "pixel" && argc > 3) {
        HDC screen = ::GetDC(nullptr);
        std::printf("pixel %06lX\n", static_cast<unsigned long>(::GetPixel(screen, static_cast<int>(arg), static_cast<int>(arg2))));
        ::ReleaseDC(nullptr, screen);
        rc = 0;
    } else if (cmd == "lnk" && argc > 2) {
        rc = PrintLink(argv[2]);
    } else if (cmd == "template" && argc > 3) {
        rc = DumpTemplate(argv[2], static_cast<int>(arg2));
    } else if (cmd == "string" && argc > 3) {
        rc = DumpString(argv[2], static_cast<int>(arg2));
    } else if (cmd == "folders") {
        char desktop[MAX_PATH] = {}, programs[MAX_PATH] = {};
        ::SHGetFolderPathA(nullptr, CSIDL_DESKTOP, nullptr, 0, desktop);
        ::SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
        std::printf("desktop=%s\nprograms=%s\n", desktop, programs);
        rc = 0;
    } else if (cmd == "hold" && argc > 3) {
        // Keeps a file open without sharing, as a running program keeps its exe.
        unique_file file(::CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        std::printf("held %d\n", file ? 1 : 0);
        std::fflush(stdout);
        ::Sleep(static_cast<DWORD>(arg2));
        rc = file ? 0 : 1;
    } else if (cmd == "mutex" && argc > 3) {
        // Stands in for a running installer that has not shown its window.
        unique_kernel_handle mutex(::CreateMutexA(nullptr, FALSE, argv[2]));
        std::printf("mutex %d\n", mutex ? 1 : 0);
        std::fflush(stdout);
        ::Sleep(static_cast<DWORD>(arg2));
        rc = mutex ? 0 : 1;
    } else if (cmd == "windows") {
        int count = 0;
        ::EnumWindows(&CountMainWindows, reinterpret_cast<LPARAM>(&count));
        std::printf("%d\n", count);
        rc = 0;
    } else if (cmd == "start-time" && argc > 3) {
        rc = StartTime(argv[2], static_cast<DWORD>(arg2));
    } else if (cmd == "hover-leave" && argc > 5) {
        rc = HoverLeave(static_cast<int>(arg), static_cast<int>(arg2), std::atoi(argv[4]), std::atoi(argv[5]));
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
        } else if (cmd == "command") {
            HWND item = ::GetDlgItem(main, static_cast<int>(arg));
            rc = ::PostMessageA(main, WM_COMMAND, MAKEWPARAM(arg, BN_CLICKED), reinterpret_cast<LPARAM>(item)) ? 0 : 1;
        } else if (cmd == "time-install") {
            HWND finish = ::GetDlgItem(main, 1003);
            const DWORD start = ::GetTickCount();
            ::PostMessageA(::GetDlgItem(main, 1001), BM_CLICK, 0, 0);
            while (!::IsWindowVisible(finish) && ::GetTickCount() - start < static_cast<DWORD>(arg))
                ::Sleep(10);
            if (::IsWindowVisible(finish)) {
                std::printf("install_ms %lu\n", static_cast<unsigned long>(::GetTickCount() - start));
                rc = 0;
            }
        } else if (cmd == "memory") {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(main, &pid);
            unique_kernel_handle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
            PROCESS_MEMORY_COUNTERS counters = {};
            counters.cb = sizeof counters;
            if (process && ::GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) {
                std::printf("peak_working_set_kib %lu\n", static_cast<unsigned long>(counters.PeakWorkingSetSize / 1024));
                rc = 0;
            }
        } else if (cmd == "progress") {
            HWND bar = ::GetDlgItem(main, 1002);
            std::printf("progress %ld %ld\n", static_cast<long>(::SendMessageA(bar, PBM_GETRANGE, FALSE, 0)),
                        static_cast<long>(::SendMessageA(bar, PBM_GETPOS, 0, 0)));
            rc = 0;
        } else if (cmd == "chooser") {
            HWND chooser = FindTopWithChild(main, "", 1021);
            if (chooser) {
                char text[512] = {};   // another process's edit: only WM_GETTEXT reads its content
                ::SendMessageA(::GetDlgItem(chooser, 1021), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
                RECT box;
                ::GetWindowRect(chooser, &box);
                std::printf("chooser %d %ld %ld %ld %ld %s\n", ::IsWindowVisible(chooser) ? 1 : 0, box.left, box.top,
                            box.right, box.bottom, Hex(text).c_str());
                rc = 0;
            }
        } else if (cmd == "chooser-type" && argc > 2) {
            // Typed as a user types, over the whole old text, so the edit reports the change.
            HWND chooser = FindTopWithChild(main, "", 1021);
            HWND edit = chooser ? ::GetDlgItem(chooser, 1021) : nullptr;
            if (edit) {
                ::SendMessageA(edit, EM_SETSEL, 0, -1);
                for (const char* c = argv[2]; *c; ++c)
                    ::SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
                rc = 0;
            }
        } else if (cmd == "chooser-paste" && argc > 2) {
            // As a paste does: the text replaces the selection in one piece, and the edit reports the change.
            HWND chooser = FindTopWithChild(main, "", 1021);
            HWND edit = chooser ? ::GetDlgItem(chooser, 1021) : nullptr;
            if (edit) {
                const std::wstring text = FromHexUtf8(argv[2]);
                ::SendMessageW(edit, EM_SETSEL, 0, -1);
                ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
                rc = 0;
            }
        } else if (cmd == "chooserw") {
            HWND chooser = FindTopWithChild(main, "", 1021);
            if (chooser) {
                wchar_t text[512] = {};
                ::SendMessageW(::GetDlgItem(chooser, 1021), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
                std::printf("chooser %d %s\n", ::IsWindowVisible(chooser) ? 1 : 0, HexUtf8(text).c_str());
                rc = 0;
            }
        } else if (cmd == "wait-msgboxw") {
            HWND box = nullptr;
            if (WaitFor(static_cast<DWORD>(arg), [&] { box = FindOtherDialog(main); return box != nullptr; })) {
                std::wstring text;
                ::EnumChildWindows(box, &KeepLongestStaticW, reinterpret_cast<LPARAM>(&text));
                std::printf("msgbox %s\n", HexUtf8(text).c_str());
                rc = 0;
            }
        } else if (cmd == "chooser-click") {
            // The command a click sends; BM_CLICK does nothing on a window that is not active.
            HWND chooser = FindTopWithChild(main, "", 1021);
            HWND button = chooser ? ::GetDlgItem(chooser, static_cast<int>(arg)) : nullptr;
            rc = button && ::PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(arg, BN_CLICKED),
                                          reinterpret_cast<LPARAM>(button)) ? 0 : 1;
        } else if (cmd == "wait-browser") {
            HWND browser = nullptr;
            if (WaitFor(static_cast<DWORD>(arg), [&] { browser = FindTopWithChild(main, "SysTreeView32", 0); return browser != nullptr; })) {
                ChildSearch tree = {0, "SysTreeView32", 0, nullptr};
                ::EnumChildWindows(browser, &MatchChildClass, reinterpret_cast<LPARAM>(&tree));
                PrintRect("tree", tree.found);
                rc = 0;
            }
        } else if (cmd == "layout" && argc > 2) {
            const std::string which = argv[2];
            rc = PrintLayout(which == "main"      ? main
                             : which == "chooser" ? FindTopWithChild(main, "", 1021)
                                                  : FindOtherDialog(main));
        } else if (cmd == "names" && argc > 2) {
            const std::string which = argv[2];
            rc = PrintNames(which == "main"      ? main
                            : which == "chooser" ? FindTopWithChild(main, "", 1021)
                                                 : FindOtherDialog(main));
        } else if (cmd == "focus") {
            rc = PrintFocus(main);
        } else if (cmd == "restore") {
            rc = ::PostMessageA(main, WM_SYSCOMMAND, SC_RESTORE, 0) ? 0 : 1;
        } else if (cmd == "chooser-sel") {
            HWND chooser = FindTopWithChild(main, "", 1021);
            HWND edit = chooser ? ::GetDlgItem(chooser, 1021) : nullptr;
            if (edit) {
                DWORD start = 0, end = 0;
                ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
                GUITHREADINFO gui = {};
                gui.cbSize = sizeof gui;
                ::GetGUIThreadInfo(::GetWindowThreadProcessId(edit, nullptr), &gui);
                std::printf("sel %lu %lu %d\n", start, end, gui.hwndFocus == edit ? 1 : 0);
                rc = 0;
            }
        } else if (cmd == "wait-msgbox") {
            HWND box = nullptr;
            if (WaitFor(static_cast<DWORD>(arg), [&] { box = FindOtherDialog(main); return box != nullptr; })) {
                std::string text;
                ::EnumChildWindows(box, &KeepLongestStatic, reinterpret_cast<LPARAM>(&text));
                RECT place;
                ::GetWindowRect(box, &place);
                std::printf("msgbox %d %ld %ld %ld %ld %s\n", ::GetWindow(box, GW_OWNER) == main ? 1 : 0, place.left,
                            place.top, place.right, place.bottom, Hex(text).c_str());
                rc = 0;
            }
        } else if (cmd == "msgbox-ok") {
            HWND box = FindOtherDialog(main);
            rc = box && ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) ? 0 : 1;
        } else if (cmd == "iconic") {
            std::printf("%d\n", ::IsIconic(main) ? 1 : 0);
            rc = 0;
        } else if (cmd == "dialog-click") {
            HWND other = FindOtherDialog(main);
            rc = other && ::PostMessageA(::GetDlgItem(other, static_cast<int>(arg)), BM_CLICK, 0, 0) ? 0 : 1;
        } else if (cmd == "dialog-click-watch") {
            OtherDialogSearch before = {main, 0, nullptr};
            ::GetWindowThreadProcessId(main, &before.pid);
            ::EnumWindows(&MatchOtherDialog, reinterpret_cast<LPARAM>(&before));
            const HWND button = before.found ? ::GetDlgItem(before.found, static_cast<int>(arg)) : nullptr;
            rc = button && ::PostMessageA(button, BM_CLICK, 0, 0) ? 0 : 1;
            HWND box = nullptr;
            struct NewBoxSearch {
                HWND main, notice;
                DWORD pid;
                HWND found;
            } search = {main, before.found, before.pid, nullptr};
            if (rc == 0)
                WaitFor(static_cast<DWORD>(arg2), [&] {
                    search.found = nullptr;
                    ::EnumWindows(
                        [](HWND hwnd, LPARAM lp) -> BOOL {
                            auto* s = reinterpret_cast<NewBoxSearch*>(lp);
                            DWORD pid = 0;
                            ::GetWindowThreadProcessId(hwnd, &pid);
                            char cls[64] = {};
                            ::GetClassNameA(hwnd, cls, sizeof cls);
                            if (hwnd != s->main && hwnd != s->notice && pid == s->pid &&
                                std::strcmp(cls, "#32770") == 0 && ::IsWindowVisible(hwnd)) {
                                s->found = hwnd;
                                return FALSE;
                            }
                            return TRUE;
                        },
                        reinterpret_cast<LPARAM>(&search));
                    box = search.found;
                    return box != nullptr;
                });
            std::string text;
            if (box)
                ::EnumChildWindows(box, &KeepLongestStatic, reinterpret_cast<LPARAM>(&text));
            std::printf("msgbox %d %s\n", box ? 1 : 0, Hex(text).c_str());
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
