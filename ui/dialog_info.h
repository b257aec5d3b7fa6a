// The quit confirmation: a borderless picture with continue (IDOK) and cancel-installation (IDCANCEL).
#pragma once

#include "platform/dialog.h"
#include "platform/handles.h"
#include "platform/message_map.h"
#include "ui/skin_btn.h"

class CDialogInfo : public CDialog {
public:
    explicit CDialogInfo(CWnd* pParent = nullptr);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    friend struct DialogInfoMessages;

    void OnContinue() { CDialog::OnOK(); }
    void OnQuit() { CDialog::OnCancel(); }
    void OnPaint();

    unique_hbitmap m_bmpBackground;
    CSkinBtn m_btnContinue;
    CSkinBtn m_btnQuit;
};
