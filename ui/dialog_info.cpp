// The quit confirmation: a borderless picture with continue (IDOK) and cancel-installation (IDCANCEL).
#include "ui/dialog_info.h"

#include "platform/app.h"
#include "platform/wide_names.h"
#include "res/resource.h"
#include "ui/buffered_paint.h"

namespace {
// The notice's name for screen readers; the picture says it too.
const char kNoticeTitle[] = "系统提示";
}  // namespace

struct DialogInfoMessages {
    using Map = MessageMap<CDialogInfo>;
    static const Map::Message kMessages[];
    static const Map::Command kCommands[];
    static const Map kMap;
};

const DialogInfoMessages::Map::Message DialogInfoMessages::kMessages[] = {
    {WM_PAINT, [](CDialogInfo& d, WPARAM, LPARAM) -> LRESULT { d.OnPaint(); return 0; }},
};

const DialogInfoMessages::Map::Command DialogInfoMessages::kCommands[] = {
    {IDC_BTN_CLOSE, BN_CLICKED, &CDialogInfo::OnQuit},
    {IDC_BTN_INSTALL, BN_CLICKED, &CDialogInfo::OnContinue},
};

const DialogInfoMessages::Map DialogInfoMessages::kMap = {
    kMessages, sizeof kMessages / sizeof kMessages[0], kCommands, sizeof kCommands / sizeof kCommands[0]};

CDialogInfo::CDialogInfo(CWnd* pParent) : CDialog(IDD_DIALOG_INFO, pParent)
{
    UseBaseUnits(kShellDlg8ptUnits);
}

bool CDialogInfo::OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return DialogInfoMessages::kMap.Dispatch(*this, msg, wParam, lParam, result);
}

void CDialogInfo::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_BTN_INSTALL, m_btnContinue);
    DDX_Control(pDX, IDC_BTN_CLOSE, m_btnQuit);
}

BOOL CDialogInfo::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SetWindowTextW(m_hWnd, WideFrom936(kNoticeTitle).c_str());
    m_bmpBackground.reset(LoadAppBitmap(IDB_NOTICE));
    m_btnContinue.LoadStateBitmaps(IDB_CONTINUE_NORMAL, IDB_CONTINUE_HOVER, IDB_CONTINUE_PRESSED,
                                   IDB_CONTINUE_PRESSED);
    m_btnQuit.LoadStateBitmaps(IDB_QUIT_NORMAL, IDB_QUIT_HOVER, IDB_QUIT_PRESSED, IDB_QUIT_PRESSED);

    // The window takes the picture's size; its top-left stays, so it is then centred over its owner.
    // Without the picture it keeps the template's size, so that its buttons can still be seen and used.
    BITMAP picture = {};
    if (::GetObjectA(m_bmpBackground.get(), sizeof picture, &picture) && picture.bmWidth > 0 && picture.bmHeight > 0) {
        RECT rc;
        GetWindowRect(&rc);
        MoveWindow(rc.left, rc.top, picture.bmWidth, picture.bmHeight, TRUE);
    }
    return TRUE;
}

void CDialogInfo::OnPaint()
{
    PaintBuffered(m_hWnd, [this](HDC dc) { FillWithPattern(dc, m_hWnd, m_bmpBackground.get()); });
}
