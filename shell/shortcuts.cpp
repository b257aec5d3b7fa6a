// Shell links, special folders and shell change notifications.
#include "shell/shortcuts.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "platform/handles.h"

bool CreateShortcut(const std::wstring& target, const std::wstring& folder, const std::wstring& linkName,
                    WORD hotkey, const std::wstring& description, int showCmd, bool runAsAdministrator)
{
    if (folder.empty() || target.empty() || linkName.empty())
        return false;
    const std::wstring linkPath = folder + L"\\" + linkName;
    if (linkPath.size() >= MAX_PATH)
        return false;

    com_ptr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.put_void())))
        return false;
    com_ptr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void())))
        return false;

    link->SetPath(target.c_str());
    if (LOWORD(hotkey) != 0)
        link->SetHotkey(hotkey);
    if (!description.empty())
        link->SetDescription(description.c_str());
    link->SetShowCmd(showCmd);
    if (runAsAdministrator) {
        com_ptr<IShellLinkDataList> data;
        DWORD flags = 0;
        // A shell without the flag still gets the link: the user can run it as administrator by hand.
        if (SUCCEEDED(link->QueryInterface(IID_IShellLinkDataList, data.put_void())) && SUCCEEDED(data->GetFlags(&flags)))
            data->SetFlags(flags | SLDF_RUNAS_USER);
    }
    return SUCCEEDED(persist->Save(linkPath.c_str(), TRUE));
}

bool GetSpecialFolderPath(int csidl, std::wstring& path)
{
    LPITEMIDLIST items = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &items)))
        return false;
    wchar_t buffer[MAX_PATH] = {};
    const BOOL converted = ::SHGetPathFromIDListW(items, buffer);
    ::CoTaskMemFree(items);
    if (!converted)
        return false;
    path = buffer;
    return true;
}

void NotifyShellFolder(LONG event, std::wstring& path)
{
    constexpr UINT kFlags = SHCNF_PATHW | SHCNF_FLUSH;   // returns once delivered
    ::SHChangeNotify(event, kFlags, path.c_str(), nullptr);
    const size_t backslash = path.rfind(L'\\');
    if (backslash != std::wstring::npos)
        path.erase(backslash);
    ::SHChangeNotify(SHCNE_UPDATEDIR | SHCNE_INTERRUPT, kFlags, path.c_str(), nullptr);
}
