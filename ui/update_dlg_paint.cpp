// The main window's look: background per install state, the drawn progress bar, dragging by the body.
#include "app/update_dlg.h"
#include "platform/wide_names.h"
#include "res/resource.h"
#include "ui/buffered_paint.h"
#include "ui/outcome_text.h"
#include "ui/progress_math.h"

namespace {

const COLORREF kTrackColour = RGB(255, 255, 255);
const COLORREF kFillColour = 0x000000BD;
const char kProgressLabel[] = "安装进度:";
const COLORREF kEndStatusColour = RGB(176, 24, 16);
// The failed end's text sits under the finish button, on the plain lower part of the picture, and
// starts where the progress label does.
const POINT kEndStatusAt = {162, 256};
const char kExitButtonText[] = "退出安装";   // what the exit picture says

void FillSolid(HDC dc, const RECT& rc, COLORREF colour)
{
    unique_hbrush brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &rc, brush.get());
}

}  // namespace

void CUpdateDlg::OnPaint()
{
    PaintBuffered(m_hWnd, [this](HDC dc) {
        if (m_nInstallState == 1)
            DrawProgress(dc);
        else
            DrawBackground(dc);
    });
}

void CUpdateDlg::DrawBackground(HDC dc)
{
    CSingleLock lock(m_csPaint);
    FillWithPattern(dc, m_hWnd, m_bmpBackground.get());
}

void CUpdateDlg::DrawProgress(HDC dc)
{
    SyncProgress();   // whenever the bar is painted, it shows where the walk is
    CSingleLock lock(m_csPaint);
    FillWithPattern(dc, m_hWnd, m_bmpBackground.get());
    FillSolid(dc, RECT{kTrackLeft, kTrackTop, kTrackRight, kTrackBottom}, kTrackColour);

    const unsigned upper = static_cast<unsigned>(m_progress.GetUpper());
    const unsigned pos = static_cast<unsigned>(m_progress.GetPos());
    const int right = ProgressFillRight(upper, pos);
    if (right >= 0)
        FillSolid(dc, RECT{kTrackLeft, kTrackTop, right, kTrackBottom}, kFillColour);

    select_guard selectFont(dc, m_fontProgress.get());
    ::SetBkMode(dc, TRANSPARENT);
    const std::wstring label = WideFrom936(kProgressLabel);
    ::TextOutW(dc, 162, 208, label.c_str(), static_cast<int>(label.size()));
    const std::string percent = ProgressPercentText(upper, pos);
    ::TextOutA(dc, kPercentLeft, kTrackTop, percent.c_str(), static_cast<int>(percent.size()));

    if (!m_strEndStatus.empty()) {
        ::SetTextColor(dc, kEndStatusColour);
        const std::wstring status = WideFrom936(m_strEndStatus);
        ::TextOutW(dc, kEndStatusAt.x, kEndStatusAt.y, status.c_str(), static_cast<int>(status.size()));
    }
}

void CUpdateDlg::ShowUnsuccessfulEnd()
{
    // The installing look stays, with what happened under the bar and a finish button that does not
    // invite the user to try a product that is not (wholly) there.
    {
        CSingleLock lock(m_csPaint);
        m_strEndStatus = FailedEndText(m_outcome);
    }
    m_btnFinish.LoadStateBitmaps(IDB_EXIT_NORMAL, IDB_EXIT_HOVER, IDB_EXIT_PRESSED, IDB_EXIT_PRESSED);
    ::SetWindowTextW(m_btnFinish.m_hWnd, WideFrom936(kExitButtonText).c_str());
    Invalidate(TRUE);
}

LRESULT CUpdateDlg::OnNcHitTest(POINT screenPoint)
{
    const LRESULT hit = ::DefWindowProcW(m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(screenPoint.x, screenPoint.y));
    return hit == HTCLIENT ? HTCAPTION : hit;
}
