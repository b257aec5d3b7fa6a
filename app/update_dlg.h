// The main window: holds the install state, runs the worker and hands its result back.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <string>

#include "engine/install_engine.h"
#include "engine/install_host.h"
#include "platform/controls.h"
#include "platform/critical_section.h"
#include "platform/dialog.h"
#include "platform/handles.h"
#include "platform/message_map.h"
#include "app/single_instance.h"
#include "shell/dialog_path.h"
#include "shell/uninstall_script.h"
#include "ui/skin_btn.h"

class CUpdateDlg : public CDialog, private IInstallHost {
public:
    explicit CUpdateDlg(CWnd* pParent = nullptr);
    ~CUpdateDlg() override;

    BOOL DestroyWindow() override;

    // True when the window ended while the worker was still blocked in WinINet and the window's
    // thread finished the uninstall script in its place.
    bool IsWorkerAbandoned() const noexcept { return m_bWorkerAbandoned; }

    std::string m_strServer;
    std::string m_strObject;
    INTERNET_PORT m_nPort = INTERNET_DEFAULT_HTTP_PORT;
    std::string m_strInstallDir;
    UninstallScript m_fileUninstall;
    CCriticalSection m_csPaint;
    std::string m_strUninstallPath;
    HICON m_hIcon = nullptr;
    unique_hinternet m_session;
    unique_hinternet m_pConnection;
    DWORD m_dwRequestFlags = 0;
    CInstallEngine m_engine;             // holds m_listEntries
    CStatic m_picture;
    CProgressCtrl m_progress;
    CSkinBtn m_btnInstall;
    unique_hbitmap m_bmpBackground;
    CStatic m_staticAgreement;
    BOOL m_bAgree = FALSE;
    unique_hfont m_fontLink;
    unique_hfont m_fontProgress;
    int m_nInstallState = 0;
    InstallOutcome m_outcome;            // how the run ended; written with the state, under m_csPaint
    std::string m_strEndStatus;          // what the failed end's look says; empty until then, under m_csPaint
    std::atomic<int> m_nQuitRequest{kQuitGoOn};
    CSkinBtn m_btnMinimize;
    CSkinBtn m_btnClose;
    CSkinBtn m_btnAgreement;
    CSkinBtn m_btnPath;
    CSkinBtn m_btnFinish;
    CDialogPathEX m_dlgPath;
    SingleInstance* m_pSingleInstance = nullptr;   // where the window is announced to a second start

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;
    bool OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Tab goes on into the open folder panel and from it back here.
    HWND TabNeighbour() const override { return m_dlgPath.m_hWnd; }

private:
    friend struct UpdateDlgMessages;

    // Install states
    void OnInstall();
    void EnterInstallingState();
    static unsigned __stdcall InstallThreadProc(void* pParam);
    int RunInstall();
    void EnterFinishedState(int nResult);
    LRESULT OnInstallFinished(int nResult);
    // A run that a local write failure ended says so in one message box.
    void ReportLocalWriteFailure();

    // Window buttons
    void OnPictureClicked() {}
    void SendInstallReport();
    void OnAgreement();
    void OnAgree();
    void OnMinimize();
    void OnPathOption();
    LRESULT OnMove();
    LRESULT OnSize(WPARAM sizeType);
    void OnClose();

    // Painting and dragging
    void OnPaint();
    LRESULT OnTimer(UINT_PTR id);
    // Brings the progress control to the walk's position; true when it changed.
    bool SyncProgress();
    void DrawBackground(HDC dc);
    void DrawProgress(HDC dc);
    void ShowUnsuccessfulEnd();
    LRESULT OnNcHitTest(POINT screenPoint);
    HICON OnQueryDragIcon() const { return m_hIcon; }

    // Ends a running install in order before the window closes: the worker stops between lines;
    // if it does not come back in time (blocked in WinINet) the script is finished here.
    void StopInstallForClose();
    bool WaitForWorker(DWORD timeoutMs);

    // IInstallHost, called on the worker thread.
    int QuitRequest() const override { return m_nQuitRequest.load(); }
    void SetProgressRange(int lines) override;
    void StepProgress() override;
    void ReportSendError(const std::wstring& text) override;
    void CreateShortcuts() override;

    // Shortcuts and their uninstall lines, after a complete walk.
    int CreateProductShortcuts();
    int CreateUninstallShortcut();

    unique_kernel_handle m_worker;
    bool m_bWorkerAbandoned = false;
    // The walk's progress, written by the worker without a round trip to this thread; the window
    // brings it to the progress control when it paints and at most about 30 times a second otherwise.
    std::atomic<int> m_nWalkUpper{-1};   // -1 until the list is read: the control keeps 0 to 100
    std::atomic<int> m_nWalkPos{0};
};
