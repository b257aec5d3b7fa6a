// The desktop shortcut, the program group with its two shortcuts, and their uninstall lines.
#include <shlobj.h>

#include <string>

#include "app/update_dlg.h"
#include "engine/list/list_files.h"
#include "engine/list/path_rules.h"
#include "platform/handles.h"
#include "platform/wide_names.h"
#include "shell/elevated_uninstall.h"
#include "shell/shortcuts.h"

namespace {

// Names in code page 936, as the program's other texts; the links are saved under their Unicode names.
const char kProductLink[] = "Qelmora.lnk";
const char kUninstallLink[] = "Qelmora卸载.lnk";
const wchar_t kGroupName[] = L"\\Qelmora";
const char kProductExe[] = "Termview.exe";
// Ctrl+F12 starts the product. The uninstall link answers no hotkey: two links with one hotkey start
// whichever the shell picks, and this one deletes the product without asking.
constexpr WORD kProductHotkey = 0x027B;
constexpr WORD kNoHotkey = 0;
constexpr LONG kEventMakeDir = SHCNE_MKDIR | SHCNE_INTERRUPT;    // 0x80000008
constexpr LONG kEventCreate = SHCNE_CREATE | SHCNE_INTERRUPT;    // 0x80000002

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A link path must fit MAX_PATH with its terminator.
bool LinkFits(const std::wstring& folder, const std::wstring& linkName)
{
    return folder.size() + 1 + linkName.size() < MAX_PATH;
}

// The special folder's path; empty when the shell has none for this user or gives no absolute path.
std::wstring SpecialFolder(int csidl)
{
    std::wstring path;
    if (!GetSpecialFolderPath(csidl, path) || !IsFullFolderPath(std::u16string(path.begin(), path.end())))
        return std::wstring();
    return path;
}

// Programs folder followed by "\Qelmora": empty when the Programs folder is not known or the
// group's links would not fit, so that nothing is made, and no line written, outside the group.
std::wstring ProgramGroup()
{
    const std::wstring programs = SpecialFolder(CSIDL_PROGRAMS);
    if (programs.empty() || IsSeparator(programs.back()))
        return std::wstring();
    const std::wstring group = programs + kGroupName;
    return LinkFits(group, WideFrom936(kUninstallLink)) ? group : std::wstring();
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The group folder is created and announced as "...\Qelmora\"; the notification leaves it without its
// final backslash and announces the Programs folder's update. True when the folder is there.
bool MakeGroupFolder(const std::wstring& group)
{
    std::wstring folder = group + L"\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    NotifyShellFolder(kEventMakeDir, folder);
    return IsFolder(group);
}

void NotifyGroupChanged(const std::wstring& group)
{
    std::wstring folder = group;
    NotifyShellFolder(kEventCreate, folder);
}

// Saves one link and writes its uninstall line in one step against the end of the script: no link is
// made once the window's thread has ended the script (a quit during this step), and a link that could
// not be saved gets no line.
void MakeLink(UninstallScript& script, const std::wstring& target, const std::wstring& folder,
              const std::wstring& linkName, WORD hotkey, bool runAsAdministrator = false)
{
    if (folder.empty() || target.empty() || linkName.empty() || !LinkFits(folder, linkName))
        return;
    script.MakeAndRecord([&] { return CreateShortcut(target, folder, linkName, hotkey, target, SW_SHOWNORMAL,
                                                     runAsAdministrator); },
                         UninstallScript::Line::Delete, folder + L"\\" + linkName);
}

}  // namespace

int CUpdateDlg::CreateProductShortcuts()
{
    com_apartment com;
    const std::wstring target = WideFrom936(m_strInstallDir + kProductExe);
    const std::wstring linkName = WideFrom936(kProductLink);

    MakeLink(m_fileUninstall, target, SpecialFolder(CSIDL_DESKTOP), linkName, kProductHotkey);

    const std::wstring group = ProgramGroup();
    if (group.empty() || m_fileUninstall.IsSealed() || !MakeGroupFolder(group))
        return 1;
    MakeLink(m_fileUninstall, target, group, linkName, kProductHotkey);
    NotifyGroupChanged(group);
    return 1;
}

int CUpdateDlg::CreateUninstallShortcut()
{
    com_apartment com;
    const std::wstring target = WideFrom936(m_strInstallDir + kUninstallScriptName);

    const std::wstring group = ProgramGroup();
    if (group.empty() || m_fileUninstall.IsSealed() || !MakeGroupFolder(group))
        return 1;
    // After an elevated install into Program Files, unload.bat needs the same rights to delete what it names.
    MakeLink(m_fileUninstall, target, group, WideFrom936(kUninstallLink), kNoHotkey,
             UninstallNeedsElevation(m_strInstallDir));
    // The group is removed last, once the links in it are gone; only a folder that is there is named.
    m_fileUninstall.MakeAndRecord([&] { return IsFolder(group); }, UninstallScript::Line::RemoveFolder, group);
    NotifyGroupChanged(group);
    return 1;
}
