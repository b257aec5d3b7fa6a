// Shell links, special folders and shell change notifications.
#include "shell/shortcuts.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/path_rules.h"
#include "platform/handles.h"

bool CreateShortcut(const char* target, const char* folder, const char* linkName, WORD hotkey,
                    const char* description, int showCmd)
{
    if (folder == nullptr || target == nullptr || linkName == nullptr)
        return false;
    char linkPath[MAX_PATH];
    const int length = std::snprintf(linkPath, sizeof linkPath, "%s\\%s", folder, linkName);
    if (length < 0 || static_cast<size_t>(length) >= sizeof linkPath)
        return false;

    com_ptr<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  link.put_void())))
        return false;
    com_ptr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void())))
        return false;

    link->SetPath(target);
    if (LOWORD(hotkey) != 0)
        link->SetHotkey(hotkey);
    if (description != nullptr)
        link->SetDescription(description);
    link->SetShowCmd(showCmd);

    wchar_t widePath[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH) == 0)
        return false;
    return SUCCEEDED(persist->Save(widePath, TRUE));
}

bool GetSpecialFolderPath(int csidl, char (&path)[MAX_PATH])
{
    LPITEMIDLIST items = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &items)))
        return false;
    const BOOL converted = ::SHGetPathFromIDListA(items, path);
    ::CoTaskMemFree(items);
    return converted != FALSE;
}

void NotifyShellFolder(LONG event, char* path)
{
    if (path == nullptr)
        return;
    constexpr UINT kFlags = SHCNF_PATHA | SHCNF_FLUSH;   // 0x1001: returns once delivered
    ::SHChangeNotify(event, kFlags, path, nullptr);
    const size_t backslash = FindLastChar936(path, "\\");
    if (backslash != std::string::npos)
        path[backslash] = '\0';
    ::SHChangeNotify(SHCNE_UPDATEDIR | SHCNE_INTERRUPT, kFlags, path, nullptr);
}
