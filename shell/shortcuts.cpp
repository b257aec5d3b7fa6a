// Shell links, special folders and shell change notifications.
#include "shell/shortcuts.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "platform/handles.h"
#include "platform/wide_names.h"

namespace {

// Some shells keep a link's target only in the ANSI code page (Wine's does): a name outside it comes back
// as "?" and the link starts nothing. Such a target is given by its short form, or its folder's short form
// when the file is not there yet, which every shell resolves to the same file.
std::wstring LinkTarget(const std::wstring& target)
{
    if (FitsAnsiCodePage(target))
        return target;
    std::wstring shortForm = ShortPathOf(target);
    const size_t slash = target.rfind(L'\\');
    if (shortForm.empty() && slash != std::wstring::npos) {
        const std::wstring folder = ShortPathOf(target.substr(0, slash));
        if (!folder.empty())
            shortForm = folder + target.substr(slash);
    }
    return shortForm.empty() || !FitsAnsiCodePage(shortForm) ? target : shortForm;
}

}  // namespace

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

    link->SetPath(LinkTarget(target).c_str());
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
