// The write probe: can this user create files in a folder (or in the folders that would be made for it)?
#include "shell/writable_folder.h"

#include "platform/wide_names.h"
#include "shell/install_dir_choice.h"

namespace {

constexpr int kNameAttempts = 4;
constexpr DWORD kQuotaExceeded = 1295;   // ERROR_DISK_QUOTA_EXCEEDED, not in every SDK's headers

std::wstring ProbeName(const std::wstring& folder, int attempt)
{
    wchar_t name[64] = {};
    ::wsprintfW(name, L"~qelmora-probe-%lx-%lx-%d.tmp", ::GetCurrentProcessId(), ::GetTickCount(), attempt);
    const bool separated = !folder.empty() && (folder.back() == L'\\' || folder.back() == L'/');
    return folder + (separated ? L"" : L"\\") + name;
}

DWORD ProbeIn(const std::wstring& folder)
{
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kNameAttempts && error == ERROR_FILE_EXISTS; ++attempt) {
        // CREATE_NEW: never opens (or deletes on close) a file that was there before.
        HANDLE probe = ::CreateFileW(ProbeName(folder, attempt).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                     nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            ::CloseHandle(probe);
            return ERROR_SUCCESS;
        }
        error = ::GetLastError();
    }
    return error;
}

}  // namespace

DWORD ProbeWritableFolder(const std::string& folder)
{
    for (const std::string& level : ProbeFolders(folder)) {
        std::wstring wide;
        if (!WideFrom936(level, wide))
            return ERROR_INVALID_NAME;
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                continue;   // made by the install: the folder above decides
            return error;   // a drive that is not ready, a share that is gone ...
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return ERROR_DIRECTORY;
        return ProbeIn(wide);
    }
    return ERROR_PATH_NOT_FOUND;
}

bool IsDiskFull(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL || error == kQuotaExceeded;
}
