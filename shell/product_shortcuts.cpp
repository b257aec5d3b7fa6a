// The desktop shortcut, the program group with its two shortcuts, and their uninstall lines.
#include <shlobj.h>

#include <cstring>

#include "app/update_dlg.h"
#include "platform/handles.h"
#include "shell/batch_lines.h"
#include "shell/shortcuts.h"

namespace {

const char kProductLink[] = "Qelmora.lnk";
const char kUninstallLink[] = "Qelmora卸载.lnk";
const char kGroupName[] = "\\Qelmora\\";
const char kProductExe[] = "Termview.exe";
const char kUninstallTarget[] = "unload.bat";
constexpr WORD kHotkey = 0x027B;   // Ctrl+F12
constexpr LONG kEventMakeDir = SHCNE_MKDIR | SHCNE_INTERRUPT;    // 0x80000008
constexpr LONG kEventCreate = SHCNE_CREATE | SHCNE_INTERRUPT;    // 0x80000002

// Programs folder followed by "\Qelmora\", in a buffer that NotifyShellFolder may shorten.
void GroupFolder(char (&group)[MAX_PATH])
{
    std::memset(group, 0, sizeof group);
    GetSpecialFolderPath(CSIDL_PROGRAMS, group);
    if (std::strlen(group) + sizeof kGroupName <= sizeof group)
        std::strcat(group, kGroupName);
}

}  // namespace

int CUpdateDlg::CreateProductShortcuts()
{
    com_apartment com;

    char desktop[MAX_PATH] = {};
    GetSpecialFolderPath(CSIDL_DESKTOP, desktop);
    const std::string target = m_strInstallDir + kProductExe;
    CreateShortcut(target.c_str(), desktop, kProductLink, kHotkey, target.c_str(), SW_SHOWNORMAL);
    m_fileUninstall.Append(FileDeleteLine(std::string(desktop) + "\\" + kProductLink));

    char group[MAX_PATH];
    GroupFolder(group);
    ::CreateDirectoryA(group, nullptr);
    NotifyShellFolder(kEventMakeDir, group);   // leaves group without its final backslash
    CreateShortcut(target.c_str(), group, kProductLink, kHotkey, target.c_str(), SW_SHOWNORMAL);
    m_fileUninstall.Append(FileDeleteLine(std::string(group) + "\\" + kProductLink));
    NotifyShellFolder(kEventCreate, group);
    return 1;
}

int CUpdateDlg::CreateUninstallShortcut()
{
    com_apartment com;

    const std::string target = m_strInstallDir + kUninstallTarget;
    char group[MAX_PATH];
    GroupFolder(group);
    ::CreateDirectoryA(group, nullptr);
    NotifyShellFolder(kEventMakeDir, group);
    CreateShortcut(target.c_str(), group, kUninstallLink, kHotkey, target.c_str(), SW_SHOWNORMAL);
    m_fileUninstall.Append(FileDeleteLine(std::string(group) + "\\" + kUninstallLink));
    m_fileUninstall.Append(FolderRemovalLine(group));
    NotifyShellFolder(kEventCreate, group);
    return 1;
}
