// One installer per session: the first start owns a named mutex, a second start shows the first and ends.
#pragma once

#include <windows.h>

#include "platform/handles.h"

class SingleInstance {
public:
    // Takes the session's mutex, or learns that another start holds it. The first start also
    // creates the small shared record where its main window is announced.
    SingleInstance() noexcept;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool IsFirst() const noexcept { return m_bFirst; }

    // First start: the main window is up (a second start brings it forward) or gone (null).
    void PublishWindow(HWND hwnd) noexcept;

    // Second start: brings the first start's main window to the front, restored if minimised.
    // Waits a little for a first start that has not published or not shown its window yet; does
    // nothing when the first start is closing or its window cannot be found. Never blocks on the
    // other process.
    void ActivateFirst() const noexcept;

private:
    struct Record;
    Record* record() const noexcept { return static_cast<Record*>(m_view.get()); }

    bool m_bFirst = true;
    unique_kernel_handle m_mutex;
    unique_kernel_handle m_mapping;
    unique_mapped_view m_view;
};
