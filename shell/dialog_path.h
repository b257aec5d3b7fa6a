// The install-folder chooser: a slim panel docked under the main window with the folder and a browse button.
#pragma once

#include <windows.h>

#include <string>

#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message_map.h"
#include "ui/skin_btn.h"

class CDialogPathEX : public CDialog {
public:
    CDialogPathEX();

    CEdit m_editPath;
    CSkinBtn m_btnBrowse;
    RECT m_rcOwner = {};        // the main window's screen rectangle, written by the main window
    std::wstring m_strPath;     // the chosen folder as typed, pasted or browsed; empty until the panel is first used

    // Before the main window adopts the folder: drops the blanks around it and refuses a folder that is
    // not a full path or has a character without a code page 936 form, in which every installed path is
    // formed. A refused folder is left in the panel, selected, and the user is told; false then.
    bool CheckTypedFolder();
    // The folder in code page 936 as the last successful check left it; empty when nothing is typed.
    const std::string& CheckedFolder() const { return m_strChecked; }
    // When the install starts: a folder (code page 936) in which this user cannot create files is refused
    // before anything is fetched. The panel is then open, with the typed text, or with folder when it was
    // closed, selected, and the user is told; false then.
    bool CheckWritableFolder(const std::string& folder);

    // The main window was minimised (true) or restored (false): an open panel goes and comes back with
    // it, docked under it. Windows does this for owned windows by itself; Wine does not.
    void FollowOwner(bool minimised);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Enter and Esc leave the panel as it is and keep the folder.
    void OnOK() override {}
    void OnCancel() override {}
    HWND TabNeighbour() const override { return ::GetWindow(m_hWnd, GW_OWNER); }

private:
    friend struct DialogPathMessages;

    void OnBrowse();
    void OnEditChange();
    LRESULT OnShowWindow(WPARAM wParam, LPARAM lParam);
    // Tells the user why the folder is refused and leaves its text in the open panel, selected.
    void Refuse(const char* text936);

    bool m_bHiddenWithOwner = false;   // hidden because the main window was minimised
    std::string m_strChecked;
};
