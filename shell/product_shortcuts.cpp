// The desktop shortcut, the program group with its two shortcuts, and their uninstall lines.
#include <shlobj.h>

#include <string>

#include "app/update_dlg.h"
#include "engine/path_rules.h"
#include "platform/handles.h"
#include "shell/batch_lines.h"
#include "shell/shortcuts.h"

namespace {

const char kProductLink[] = "Qelmora.lnk";
const char kUninstallLink[] = "Qelmora卸载.lnk";
const char kGroupName[] = "\\Qelmora";
const char kProductExe[] = "Termview.exe";
const char kUninstallTarget[] = "unload.bat";
constexpr WORD kHotkey = 0x027B;   // Ctrl+F12
constexpr LONG kEventMakeDir = SHCNE_MKDIR | SHCNE_INTERRUPT;    // 0x80000008
constexpr LONG kEventCreate = SHCNE_CREATE | SHCNE_INTERRUPT;    // 0x80000002

// A link path must fit 259 bytes; the uninstall link has the longer name of the two in the group.
bool LinkFits(const std::string& folder, const char* linkName)
{
    return folder.size() + 1 + std::string(linkName).size() < kMaxPathBytes;
}

// The special folder's path; empty when the shell has none for this user or gives no absolute path.
std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (!GetSpecialFolderPath(csidl, path) || !IsAbsoluteFolder(path))
        return std::string();
    return path;
}

// Programs folder followed by "\Qelmora": empty when the Programs folder is not known or the
// group's links would not fit, so that nothing is made, and no line written, outside the group.
std::string ProgramGroup()
{
    const std::string programs = SpecialFolder(CSIDL_PROGRAMS);
    if (programs.empty() || EndsWithSeparator936(programs))
        return std::string();
    const std::string group = programs + kGroupName;
    return LinkFits(group, kUninstallLink) ? group : std::string();
}

// The group folder is created and announced as "...\Qelmora\"; the notification leaves it without its
// final backslash and announces the Programs folder's update.
void MakeGroupFolder(const std::string& group)
{
    std::string folder = group + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    NotifyShellFolder(kEventMakeDir, &folder[0]);
}

void NotifyGroupChanged(const std::string& group)
{
    std::string folder = group;
    NotifyShellFolder(kEventCreate, &folder[0]);
}

}  // namespace

// Each link's uninstall line is written before the link is saved: once the window's thread has ended
// the script (a quit during this step), no link is made that the script would not delete.
int CUpdateDlg::CreateProductShortcuts()
{
    com_apartment com;
    const std::string target = m_strInstallDir + kProductExe;

    const std::string desktop = SpecialFolder(CSIDL_DESKTOP);
    if (!desktop.empty() && LinkFits(desktop, kProductLink) &&
        m_fileUninstall.Append(FileDeleteLine(desktop + "\\" + kProductLink)))
        CreateShortcut(target.c_str(), desktop.c_str(), kProductLink, kHotkey, target.c_str(), SW_SHOWNORMAL);

    const std::string group = ProgramGroup();
    if (group.empty() || !m_fileUninstall.Append(FileDeleteLine(group + "\\" + kProductLink)))
        return 1;
    MakeGroupFolder(group);
    CreateShortcut(target.c_str(), group.c_str(), kProductLink, kHotkey, target.c_str(), SW_SHOWNORMAL);
    NotifyGroupChanged(group);
    return 1;
}

int CUpdateDlg::CreateUninstallShortcut()
{
    com_apartment com;
    const std::string target = m_strInstallDir + kUninstallTarget;

    const std::string group = ProgramGroup();
    if (group.empty() || !m_fileUninstall.Append(FileDeleteLine(group + "\\" + kUninstallLink)))
        return 1;
    MakeGroupFolder(group);
    CreateShortcut(target.c_str(), group.c_str(), kUninstallLink, kHotkey, target.c_str(), SW_SHOWNORMAL);
    m_fileUninstall.Append(FolderRemovalLine(group));
    NotifyGroupChanged(group);
    return 1;
}
