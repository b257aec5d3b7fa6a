// Where the program's DLLs come from: System32 only, never the folder the installer was started from.
#include "platform/dll_search.h"

#include <windows.h>

#include <string>

namespace {

// The delay-loaded DLLs that a load by name would look for beside the exe first.
const wchar_t* const kSystemDlls[] = {L"wininet.dll", L"bcrypt.dll"};

constexpr DWORD kSearchSystem32 = 0x00000800;   // LOAD_LIBRARY_SEARCH_SYSTEM32

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

}  // namespace

void RestrictDllSearchToSystem32()
{
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                                         reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                   : nullptr;
    if (setDefault && setDefault(kSearchSystem32))
        return;
    // The current folder leaves the search in any case.
    ::SetDllDirectoryW(L"");
    wchar_t system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    for (const wchar_t* dll : kSystemDlls)
        ::LoadLibraryW((std::wstring(system) + L"\\" + dll).c_str());   // held for the program's life
}
