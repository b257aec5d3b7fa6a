// Whether the uninstall link must ask for elevation: an elevated install into the machine-wide folder.
#include "shell/elevated_uninstall.h"

#include <windows.h>
#include <shlobj.h>

#include "engine/list/list_files.h"
#include "platform/handles.h"
#include "platform/wide_names.h"

namespace {

bool RunsElevated()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    unique_kernel_handle owner(token);
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    return ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

// folder is base itself or lies below it, compared as the file system compares names.
bool IsWithin(const std::wstring& folder, std::wstring base)
{
    while (!base.empty() && (base.back() == L'\\' || base.back() == L'/'))
        base.pop_back();
    if (base.empty() || folder.size() < base.size())
        return false;
    if (::CompareStringOrdinal(folder.c_str(), static_cast<int>(base.size()), base.c_str(),
                               static_cast<int>(base.size()), TRUE) != CSTR_EQUAL)
        return false;
    return folder.size() == base.size() || folder[base.size()] == L'\\' || folder[base.size()] == L'/';
}

}  // namespace

bool UninstallNeedsElevation(const std::string& folder)
{
    const std::wstring wide = WideFrom936(folder);
    if (wide.empty() || !RunsElevated())
        return false;
    if (IsWithin(wide, WideFrom936(kDefaultInstallDir936)))
        return true;
    for (const int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86}) {
        wchar_t programFiles[MAX_PATH] = {};
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, programFiles)) &&
            IsWithin(wide, programFiles))
            return true;
    }
    return false;
}
