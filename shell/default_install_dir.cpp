// The install folder a quick install uses, decided once at start-up.
#include "shell/default_install_dir.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "engine/list/list_files.h"
#include "platform/wide_names.h"
#include "shell/install_dir_choice.h"
#include "shell/writable_folder.h"

namespace {

bool g_bDecided = false;
std::string g_strFolder;

// The per-user programs folder. Windows 7 and later name it; where the call fails (Wine 8 among others)
// it is the local application-data folder followed by "\Programs", as Windows gives it.
std::wstring UserProgramsFolder()
{
    std::wstring folder;
    PWSTR known = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_UserProgramFiles, 0, nullptr, &known)) && known)
        folder = known;
    ::CoTaskMemFree(known);
    if (!folder.empty())
        return folder;
    wchar_t local[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)) && local[0])
        folder = std::wstring(local) + L"\\Programs";
    return folder;
}

// The short form of a folder that may not exist yet: that of its deepest existing folder, followed by the
// rest as it is. Empty when the system gives none.
std::wstring ShortFormOf(const std::wstring& folder)
{
    size_t cut = folder.size();
    while (cut > 3) {
        const std::wstring shortPath = ShortPathOf(folder.substr(0, cut));
        if (!shortPath.empty())
            return shortPath + folder.substr(cut);
        cut = folder.find_last_of(L"\\/", cut - 1);
        if (cut == std::wstring::npos)
            break;
    }
    return std::wstring();
}

std::string ChooseInstallDir()
{
    if (ProbeWritableFolder(kDefaultInstallDir936) == ERROR_SUCCESS)
        return kDefaultInstallDir936;
    const std::wstring programs = UserProgramsFolder();
    const std::u16string wide(programs.begin(), programs.end());
    std::string folder = PerUserInstallDir(wide, std::u16string());
    if (folder.empty()) {
        const std::wstring shortForm = ShortFormOf(programs);
        folder = PerUserInstallDir(wide, std::u16string(shortForm.begin(), shortForm.end()));
    }
    return folder.empty() ? std::string(kDefaultInstallDir936) : folder;
}

}  // namespace

const std::string& DefaultInstallDir()
{
    // Only the window's thread asks, so a plain flag does (and no guard code is linked in).
    if (!g_bDecided) {
        g_strFolder = ChooseInstallDir();
        g_bDecided = true;
    }
    return g_strFolder;
}
