// The install-folder chooser: a slim panel docked under the main window with the folder and a browse button.
#include "shell/dialog_path.h"

#include <shlobj.h>

#include "platform/app.h"
#include "platform/handles.h"
#include "platform/wide_names.h"
#include "res/resource.h"
#include "shell/typed_folder.h"
#include "shell/writable_folder.h"

namespace {
const char kBrowseTitle[] = "选择安装目录";
const wchar_t kProductFolder[] = L"\\Qelmora\\";
const char kNeedFullPath[] = "请输入完整的安装路径，例如“D:\\Qelmora\\”。";
const char kNeedGbkPath[] = "安装路径含有无法使用的字符，请选择其他文件夹。";
const char kCannotCreateFiles[] = "无法在该文件夹中创建文件，请选择其他文件夹。";
constexpr UINT IDC_BTN_BROWSE = 1001;
}  // namespace

struct DialogPathMessages {
    using Map = MessageMap<CDialogPathEX>;
    static const Map::Message kMessages[];
    static const Map::Command kCommands[];
    static const Map kMap;
};

const DialogPathMessages::Map::Message DialogPathMessages::kMessages[] = {
    {WM_SHOWWINDOW, [](CDialogPathEX& d, WPARAM wp, LPARAM lp) { return d.OnShowWindow(wp, lp); }},
};

const DialogPathMessages::Map::Command DialogPathMessages::kCommands[] = {
    {IDC_BTN_BROWSE, BN_CLICKED, &CDialogPathEX::OnBrowse},
    {IDC_EDIT_PATH, EN_CHANGE, &CDialogPathEX::OnEditChange},
};

const DialogPathMessages::Map DialogPathMessages::kMap = {
    kMessages, sizeof kMessages / sizeof kMessages[0], kCommands, sizeof kCommands / sizeof kCommands[0]};

CDialogPathEX::CDialogPathEX() : CDialog(IDD_DIALOG_PATH)
{
    UseBaseUnits(kShellDlg8ptUnits);
}

bool CDialogPathEX::OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return DialogPathMessages::kMap.Dispatch(*this, msg, wParam, lParam, result);
}

void CDialogPathEX::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_EDIT_PATH, m_editPath);
    DDX_Control(pDX, IDC_BTN_BROWSE, m_btnBrowse);
}

BOOL CDialogPathEX::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_btnBrowse.LoadStateBitmaps(IDB_BROWSE_NORMAL, IDB_BROWSE_HOVER, IDB_BROWSE_PRESSED, IDB_BROWSE_PRESSED);
    return TRUE;
}

LRESULT CDialogPathEX::OnShowWindow(WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = ::DefWindowProcW(m_hWnd, WM_SHOWWINDOW, wParam, lParam);
    // Where the owner is now: it may have been dragged since it last wrote m_rcOwner, and the system
    // shows the panel again by itself when the minimised owner is restored.
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && !::IsIconic(owner))
        ::GetWindowRect(owner, &m_rcOwner);
    if (lParam == SW_PARENTCLOSING)
        m_bHiddenWithOwner = true;
    else if (lParam == SW_PARENTOPENING)
        m_bHiddenWithOwner = false;
    // Directly under the main window, exactly as wide, keeping its own height.
    RECT own;
    GetWindowRect(&own);
    MoveWindow(m_rcOwner.left, m_rcOwner.bottom, m_rcOwner.right - m_rcOwner.left, own.bottom - own.top, TRUE);
    return result;
}

void CDialogPathEX::FollowOwner(bool minimised)
{
    if (m_hWnd == nullptr)
        return;
    if (minimised) {
        if (IsWindowVisible()) {
            m_bHiddenWithOwner = true;
            ShowWindow(SW_HIDE);
        }
    } else if (m_bHiddenWithOwner) {
        m_bHiddenWithOwner = false;
        if (!IsWindowVisible())
            ShowWindow(SW_SHOWNOACTIVATE);
    }
}

bool CDialogPathEX::CheckTypedFolder()
{
    std::string folder;
    const TypedFolder typed = ReadTypedFolder(std::u16string(m_strPath.begin(), m_strPath.end()), folder);
    if (typed == TypedFolder::Empty || typed == TypedFolder::Full) {
        m_strChecked = folder;
        m_strPath = WideFrom936(folder);
        return true;
    }
    Refuse(typed == TypedFolder::NotFull ? kNeedFullPath : kNeedGbkPath);
    return false;
}

bool CDialogPathEX::CheckWritableFolder(const std::string& folder)
{
    if (ProbeWritableFolder(folder) == ERROR_SUCCESS)
        return true;
    if (!IsWindowVisible()) {
        m_strPath = WideFrom936(folder);
        m_editPath.SetText(m_strPath);
    }
    Refuse(kCannotCreateFiles);
    return false;
}

void CDialogPathEX::Refuse(const char* text936)
{
    AppMessageBox(::GetWindow(m_hWnd, GW_OWNER), text936, MB_OK | MB_ICONWARNING);
    if (!IsWindowVisible())
        ShowWindow(SW_SHOWNORMAL);
    ::SetFocus(m_editPath.m_hWnd);
    m_editPath.SendMessage(EM_SETSEL, 0, -1);
}

void CDialogPathEX::OnEditChange()
{
    m_strPath = m_editPath.GetText();
}

void CDialogPathEX::OnBrowse()
{
    com_apartment com;
    const std::wstring title = WideFrom936(kBrowseTitle);
    BROWSEINFOW info = {};
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_EDITBOX;
    LPITEMIDLIST chosen = ::SHBrowseForFolderW(&info);
    if (chosen) {
        wchar_t path[MAX_PATH] = {};
        // An item without a file-system path (a printer, the network) leaves the folder as it was.
        if (::SHGetPathFromIDListW(chosen, path))
            m_strPath = std::wstring(path) + kProductFolder;
    }
    com_ptr<IMalloc> allocator;
    if (SUCCEEDED(::SHGetMalloc(allocator.put()))) {
        if (chosen)
            allocator->Free(chosen);
        m_editPath.SetText(m_strPath);
    }
}
