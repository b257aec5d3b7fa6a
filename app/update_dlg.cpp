// The main window: holds the install state, runs the worker and hands its result back.
#include "app/update_dlg.h"

#include <process.h>
#include <windowsx.h>

#include "engine/create_folder_path.h"
#include "engine/http_values.h"
#include "engine/list/list_files.h"
#include "engine/list/path_rules.h"
#include "platform/app.h"
#include "platform/wide_names.h"
#include "qelmora_config.h"
#include "res/resource.h"
#include "shell/default_install_dir.h"
#include "ui/dialog_info.h"
#include "ui/progress_math.h"

namespace {

const char kTextFace[] = "宋体_GB2312";
// The window's name on the taskbar, in Alt+Tab and for screen readers (the window has no caption to show it).
const char kWindowTitle[] = "Qelmora 安装程序";

// Posted by the worker when it has ended; wParam carries the install result.
constexpr UINT WM_APP_INSTALL_FINISHED = WM_APP + 1;

// While the walk runs, the bar is repainted at a human rate, not once per line.
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressRepaintMs = 33;
const RECT kProgressRect = {kTrackLeft, kTrackTop, kProgressRight, kTrackBottom};   // the bar and the percentage

// How long a closing window waits for the worker to stop between two lines before it finishes the
// uninstall script itself. The whole quit stays well under two seconds.
constexpr DWORD kStopGraceMs = 600;
constexpr DWORD kWorkerExitWaitMs = 5000;

#ifdef QELMORA_IO_TIMEOUT_MS
constexpr DWORD kIoTimeoutMs = QELMORA_IO_TIMEOUT_MS;
#else
constexpr DWORD kIoTimeoutMs = kDefaultIoTimeoutMs;
#endif

void SetDwordOption(HINTERNET handle, DWORD option, DWORD value)
{
    ::InternetSetOptionExA(handle, option, &value, sizeof value, 0);
}

}  // namespace

struct UpdateDlgMessages {
    using Map = MessageMap<CUpdateDlg>;
    static const Map::Message kMessages[];
    static const Map::Command kCommands[];
    static const Map kMap;
};

const UpdateDlgMessages::Map::Message UpdateDlgMessages::kMessages[] = {
    {WM_PAINT, [](CUpdateDlg& d, WPARAM, LPARAM) -> LRESULT { d.OnPaint(); return 0; }},
    {WM_QUERYDRAGICON, [](CUpdateDlg& d, WPARAM, LPARAM) -> LRESULT {
         return reinterpret_cast<LRESULT>(d.OnQueryDragIcon()); }},
    {WM_NCHITTEST, [](CUpdateDlg& d, WPARAM, LPARAM lp) -> LRESULT {
         return d.OnNcHitTest(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); }},
    {WM_MOVE, [](CUpdateDlg& d, WPARAM, LPARAM) { return d.OnMove(); }},
    {WM_TIMER, [](CUpdateDlg& d, WPARAM wp, LPARAM) { return d.OnTimer(static_cast<UINT_PTR>(wp)); }},
    {WM_SIZE, [](CUpdateDlg& d, WPARAM wp, LPARAM) { return d.OnSize(wp); }},
    {WM_APP_INSTALL_FINISHED, [](CUpdateDlg& d, WPARAM wp, LPARAM) -> LRESULT {
         return d.OnInstallFinished(static_cast<int>(wp)); }},
};

const UpdateDlgMessages::Map::Command UpdateDlgMessages::kCommands[] = {
    {IDC_BTN_INSTALL, BN_CLICKED, &CUpdateDlg::OnInstall},
    {IDC_PICTURE, STN_CLICKED, &CUpdateDlg::OnPictureClicked},
    {IDC_BTN_FINISH, BN_CLICKED, &CUpdateDlg::SendInstallReport},
    {IDC_CHECK_AGREE, BN_CLICKED, &CUpdateDlg::OnAgree},
    {IDC_BTN_AGREEMENT, BN_CLICKED, &CUpdateDlg::OnAgreement},
    {IDC_BTN_MINIMIZE, BN_CLICKED, &CUpdateDlg::OnMinimize},
    {IDC_BTN_CLOSE, BN_CLICKED, &CUpdateDlg::OnClose},
    {IDC_BTN_PATH, BN_CLICKED, &CUpdateDlg::OnPathOption},
};

const UpdateDlgMessages::Map UpdateDlgMessages::kMap = {
    kMessages, sizeof kMessages / sizeof kMessages[0], kCommands, sizeof kCommands / sizeof kCommands[0]};

CUpdateDlg::CUpdateDlg(CWnd* pParent)
    : CDialog(IDD_UPDATE_DIALOG, pParent), m_engine(*this, m_fileUninstall)
{
    const CWinApp* app = CWinApp::Current();
    // The user agent is the program's name; one without a code page 936 form goes out as the product's.
    const bool named = app != nullptr && !app->m_strAppName.empty();
    m_session.reset(::InternetOpenA(named ? app->m_strAppName.c_str() : kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG,
                                    nullptr, nullptr, 0));
    m_hIcon = ::LoadIconA(app ? app->m_hInstance : nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME));
    m_dwRequestFlags = kRequestFlags;
    m_nInstallState = 0;
    m_nQuitRequest = kQuitGoOn;
    m_strInstallDir = DefaultInstallDir();   // where this user can install, probed once
    UseBaseUnits(kSong9ptUnits);   // the art's geometry whatever face stands in for 宋体
}

CUpdateDlg::~CUpdateDlg()
{
    // A worker that has posted its result may still be returning; its objects live until it has.
    // (An abandoned worker never gets here: the program ends before this window object goes.)
    if (m_worker && !m_bWorkerAbandoned)
        ::WaitForSingleObject(m_worker.get(), kWorkerExitWaitMs);
}

bool CUpdateDlg::OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return UpdateDlgMessages::kMap.Dispatch(*this, msg, wParam, lParam, result);
}

void CUpdateDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_PICTURE, m_picture);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_BTN_INSTALL, m_btnInstall);
    DDX_Control(pDX, IDC_STATIC_AGREEMENT, m_staticAgreement);
    DDX_Check(pDX, IDC_CHECK_AGREE, m_bAgree);
    DDX_Control(pDX, IDC_BTN_AGREEMENT, m_btnAgreement);
    DDX_Control(pDX, IDC_BTN_MINIMIZE, m_btnMinimize);
    DDX_Control(pDX, IDC_BTN_CLOSE, m_btnClose);
    DDX_Control(pDX, IDC_BTN_PATH, m_btnPath);
    DDX_Control(pDX, IDC_BTN_FINISH, m_btnFinish);
}

BOOL CUpdateDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SetWindowTextW(m_hWnd, WideFrom936(kWindowTitle).c_str());
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    SetDwordOption(m_session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
    SetDwordOption(m_session.get(), INTERNET_OPTION_CONNECT_RETRIES, kConnectTries);
    // Without these a server that stops sending holds a request for ever. Wine honours them only
    // below the session, so the connection (and the engine, per request) gets them too.
    SetDwordOption(m_session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, kIoTimeoutMs);
    SetDwordOption(m_session.get(), INTERNET_OPTION_SEND_TIMEOUT, kIoTimeoutMs);
    m_pConnection.reset(::InternetConnectA(m_session.get(), m_strServer.c_str(), m_nPort, nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, 0, 1));
    SetDwordOption(m_pConnection.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, kIoTimeoutMs);
    SetDwordOption(m_pConnection.get(), INTERNET_OPTION_SEND_TIMEOUT, kIoTimeoutMs);

    {
        CSingleLock lock(m_csPaint);
        m_bmpBackground.reset(LoadAppBitmap(IDB_BG_IDLE));
    }
    m_btnInstall.LoadStateBitmaps(IDB_INSTALL_NORMAL, IDB_INSTALL_HOVER, IDB_INSTALL_PRESSED, IDB_INSTALL_PRESSED);
    const std::wstring face = WideFrom936(kTextFace);
    m_fontLink.reset(::CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 1, 0, GB2312_CHARSET, 0, 0, 0, 66, face.c_str()));
    m_staticAgreement.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_fontLink.get()), TRUE);
    m_fontProgress.reset(::CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 66, face.c_str()));
    m_btnAgreement.LoadStateBitmaps(IDB_AGREEMENT_NORMAL, IDB_AGREEMENT_HOVER, IDB_AGREEMENT_PRESSED,
                                    IDB_AGREEMENT_MISSING);
    m_btnMinimize.LoadStateBitmaps(IDB_MINIMIZE_NORMAL, IDB_MINIMIZE_HOVER, IDB_MINIMIZE_PRESSED, IDB_MINIMIZE_PRESSED);
    m_btnClose.LoadStateBitmaps(IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER, IDB_CLOSE_PRESSED, IDB_CLOSE_PRESSED);
    m_btnPath.LoadStateBitmaps(IDB_PATH_NORMAL, IDB_PATH_HOVER, IDB_PATH_PRESSED, IDB_PATH_PRESSED);
    m_btnFinish.LoadStateBitmaps(IDB_FINISH_NORMAL, IDB_FINISH_HOVER, IDB_FINISH_PRESSED, IDB_FINISH_PRESSED);
    m_btnFinish.ShowWindow(SW_HIDE);

    // The chooser hangs under this window; owned by it, it stays above it and goes with it.
    GetWindowRect(&m_dlgPath.m_rcOwner);
    m_dlgPath.Create(this);
    // Tab visits the buttons in reading order, the top row first; the keyboard starts on the install button.
    SetTabOrder({IDC_BTN_MINIMIZE, IDC_BTN_CLOSE, IDC_BTN_INSTALL, IDC_BTN_FINISH, IDC_BTN_PATH});
    ::SetFocus(m_btnInstall.m_hWnd);
    if (m_pSingleInstance)
        m_pSingleInstance->PublishWindow(m_hWnd);
    return FALSE;   // the focus is set
}

BOOL CUpdateDlg::DestroyWindow()
{
    m_pConnection.reset();
    m_session.reset();
    return CDialog::DestroyWindow();
}

void CUpdateDlg::OnOK()
{
    // Enter never closes the window.
}

void CUpdateDlg::OnCancel()
{
    StopInstallForClose();
    CDialog::OnCancel();
}

void CUpdateDlg::OnInstall()
{
    // The button is hidden once pressed, but a click message may still be under way: one run only.
    if (m_nInstallState != 0 || m_worker)
        return;
    if (!m_dlgPath.CheckTypedFolder())
        return;   // a typed folder that cannot be used: the user is asked for another first
    const std::string& typed = m_dlgPath.CheckedFolder();
    if (!m_dlgPath.CheckWritableFolder(NormalizeInstallDir(typed.empty() ? m_strInstallDir : typed, DefaultInstallDir())))
        return;   // nothing can be placed there: no request, and the user chooses another folder
    EnterInstallingState();
    InstallSettings settings;
    settings.hConnection = m_pConnection.get();
    settings.dwRequestFlags = m_dwRequestFlags;
    settings.strObject = m_strObject;
    settings.dwIoTimeoutMs = kIoTimeoutMs;
    settings.nParallel = QELMORA_PARALLEL_DOWNLOADS;
    m_engine.Configure(settings);

    const uintptr_t thread = ::_beginthreadex(nullptr, 0, &CUpdateDlg::InstallThreadProc, this,
                                              CREATE_SUSPENDED, nullptr);
    if (thread == 0) {
        OnInstallFinished(0);
        return;
    }
    m_worker.reset(reinterpret_cast<HANDLE>(thread));
    ::SetThreadPriority(m_worker.get(), THREAD_PRIORITY_BELOW_NORMAL);
    ::SetTimer(m_hWnd, kProgressTimer, kProgressRepaintMs, nullptr);
    ::ResumeThread(m_worker.get());
}

void CUpdateDlg::EnterInstallingState()
{
    if (!m_dlgPath.CheckedFolder().empty())
        m_strInstallDir = m_dlgPath.CheckedFolder();
    // A folder without a final separator would make "D:\Appsa.dll" of the line a.dll; an empty or
    // relative one would install wherever the current directory happens to be.
    m_strInstallDir = NormalizeInstallDir(m_strInstallDir, DefaultInstallDir());
    CreateFolderPath(m_strInstallDir.c_str());

    // Decoded before the lock is taken: the painters wait only for the hand-over.
    unique_hbitmap installing(LoadAppBitmap(IDB_BG_INSTALLING));
    CSingleLock lock(m_csPaint);
    m_bmpBackground = std::move(installing);
    m_btnInstall.ShowWindow(SW_HIDE);
    m_btnAgreement.ShowWindow(SW_HIDE);
    m_btnFinish.ShowWindow(SW_HIDE);
    m_btnPath.ShowWindow(SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_CHECK_AGREE), SW_HIDE);
    m_nInstallState = 1;
    Invalidate(TRUE);
}

unsigned __stdcall CUpdateDlg::InstallThreadProc(void* pParam)
{
    auto* dlg = static_cast<CUpdateDlg*>(pParam);
    int result = 0;
    try {
        result = dlg->RunInstall();
    } catch (...) {
        dlg->m_fileUninstall.Seal();   // no exception leaves the thread, and the script still ends
        result = 0;
    }
    dlg->EnterFinishedState(result);
    return 0;
}

int CUpdateDlg::RunInstall()
{
    m_strUninstallPath = InstallFolderFile(m_strInstallDir, kUninstallScriptName);
    return m_engine.RunInstall(std::string(m_strInstallDir), m_strUninstallPath);
}

void CUpdateDlg::EnterFinishedState(int nResult)
{
    {
        // Decoded before the lock is taken: the painters wait only for the hand-over.
        unique_hbitmap finished(nResult == 1 ? LoadAppBitmap(IDB_BG_FINISHED) : nullptr);
        CSingleLock lock(m_csPaint);
        m_outcome = m_engine.Outcome();
        if (nResult == 1) {
            m_bmpBackground = std::move(finished);
            m_nInstallState = 2;
        }
    }
    // Window calls belong to the window's thread; the worker never waits for it.
    ::PostMessageW(m_hWnd, WM_APP_INSTALL_FINISHED, static_cast<WPARAM>(nResult), 0);
}

LRESULT CUpdateDlg::OnInstallFinished(int nResult)
{
    ::KillTimer(m_hWnd, kProgressTimer);
    if (SyncProgress())
        ::InvalidateRect(m_hWnd, &kProgressRect, TRUE);
    if (nResult == 1) {
        m_btnInstall.ShowWindow(SW_HIDE);
        m_btnAgreement.ShowWindow(SW_HIDE);
        m_btnPath.ShowWindow(SW_HIDE);
        ::ShowWindow(GetDlgItem(IDC_CHECK_AGREE), SW_HIDE);
        Invalidate(TRUE);
    } else {
        ShowUnsuccessfulEnd();
    }
    m_btnFinish.ShowWindow(SW_SHOW);
    ReportLocalWriteFailure();
    return 0;
}

void CUpdateDlg::ReportLocalWriteFailure()
{
    std::string text;
    {
        CSingleLock lock(m_csPaint);
        if (m_outcome.end == InstallEnd::CannotWrite || m_outcome.end == InstallEnd::DiskFull)
            text = m_strEndStatus;
    }
    // One box for the run; none once the user has asked to leave.
    if (!text.empty() && m_nQuitRequest.load() != 2)
        AppMessageBox(m_hWnd, text.c_str(), MB_OK | MB_ICONERROR);
}

bool CUpdateDlg::WaitForWorker(DWORD timeoutMs)
{
    // This thread never blocks without pumping while the worker lives: its timer and painting go on, and so
    // does anything the worker's own calls (a message box, the shell) ask of it.
    const DWORD start = ::GetTickCount();
    for (;;) {
        HANDLE worker = m_worker.get();
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return ::WaitForSingleObject(worker, 0) == WAIT_OBJECT_0;
        const DWORD wait = ::MsgWaitForMultipleObjects(1, &worker, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0)
            return true;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return ::WaitForSingleObject(worker, 0) == WAIT_OBJECT_0;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void CUpdateDlg::StopInstallForClose()
{
    if (!m_worker || ::WaitForSingleObject(m_worker.get(), 0) == WAIT_OBJECT_0)
        return;
    m_nQuitRequest = kQuitStop;
    ShowWindow(SW_HIDE);
    m_dlgPath.ShowWindow(SW_HIDE);
    if (WaitForWorker(kStopGraceMs))
        return;
    // Still inside a download that WinINet may hold for a long time: nothing more may be placed,
    // the temporary file goes, and the script gets its last line here.
    ::DeleteFileW(WideFrom936(InstallFolderFile(m_strInstallDir, kListFileName)).c_str());
    m_fileUninstall.Seal();
    m_bWorkerAbandoned = true;
}

void CUpdateDlg::OnClose()
{
    m_nQuitRequest = kQuitPause;   // the walk waits before its next line while the user is asked
    if (m_nInstallState != 1) {
        CDialog::OnOK();
        return;
    }
    CDialogInfo notice;
    if (notice.DoModal() != IDCANCEL) {
        m_nQuitRequest = kQuitGoOn;
        return;
    }
    StopInstallForClose();   // sets the stop request and gives the walk its moment to see it
    CDialog::OnOK();
}

void CUpdateDlg::SetProgressRange(int lines)
{
    m_nWalkPos = 0;
    m_nWalkUpper = lines;
}

void CUpdateDlg::StepProgress()
{
    ++m_nWalkPos;
}

bool CUpdateDlg::SyncProgress()
{
    const int upper = m_nWalkUpper.load();
    if (upper < 0)
        return false;
    bool changed = false;
    // 32-bit range: a manifest of more than 65,535 lines still counts right.
    if (m_progress.GetUpper() != upper) {
        m_progress.SetRange32(0, upper);
        changed = true;
    }
    const int pos = m_nWalkPos.load();
    if (m_progress.GetPos() != pos) {
        m_progress.SetPos(pos);
        changed = true;
    }
    return changed;
}

LRESULT CUpdateDlg::OnTimer(UINT_PTR id)
{
    if (id == kProgressTimer && SyncProgress())
        ::InvalidateRect(m_hWnd, &kProgressRect, TRUE);
    return 0;
}

void CUpdateDlg::ReportSendError(const std::wstring& text)
{
    // After a quit the user has asked to leave: no more questions from the worker.
    if (m_nQuitRequest.load() == kQuitStop)
        return;
    AppMessageBox(nullptr, text, MB_OK | MB_SETFOREGROUND);
}

void CUpdateDlg::CreateShortcuts()
{
    CreateProductShortcuts();
    CreateUninstallShortcut();
}
