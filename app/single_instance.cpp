// One installer per session: the first start owns a named mutex, a second start shows the first and ends.
#include "app/single_instance.h"

namespace {

// Session-local names: another user's installer on the same machine is not ours to show.
const char kMutexName[] = "Local\\QelmoraSetup";
const char kRecordName[] = "Local\\QelmoraSetup.Window";

// How long a second start waits for a first start that has the mutex but no window shown yet.
constexpr DWORD kFindWindowMs = 3000;
constexpr DWORD kFindPollMs = 50;

enum RecordState : LONG { kStarting = 0, kWindowUp = 1, kClosed = 2 };

}  // namespace

// The shared record, as both processes see it (both are 32-bit, a window handle fits 32 bits).
struct SingleInstance::Record {
    volatile LONG state;
    volatile LONG window;
};

SingleInstance::SingleInstance() noexcept
{
    m_mutex.reset(::CreateMutexA(nullptr, FALSE, kMutexName));
    const DWORD error = ::GetLastError();
    // A mutex that exists, or one we may not open (another start of ours under other rights),
    // means an installer is already running. Any other failure cannot tell: run as before.
    if ((m_mutex && error == ERROR_ALREADY_EXISTS) || (!m_mutex && error == ERROR_ACCESS_DENIED)) {
        m_bFirst = false;
        m_mutex.reset();
        return;
    }
    m_mapping.reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Record),
                                         kRecordName));
    if (m_mapping)
        m_view.reset(::MapViewOfFile(m_mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(Record)));
}

void SingleInstance::PublishWindow(HWND hwnd) noexcept
{
    Record* shared = record();
    if (!m_bFirst || shared == nullptr)
        return;
    ::InterlockedExchange(&shared->window, static_cast<LONG>(reinterpret_cast<LONG_PTR>(hwnd)));
    ::InterlockedExchange(&shared->state, hwnd ? kWindowUp : kClosed);
}

void SingleInstance::ActivateFirst() const noexcept
{
    if (m_bFirst)
        return;
    HWND main = nullptr;
    const DWORD start = ::GetTickCount();
    for (;;) {
        // Opened anew each round: the first start may still be between its mutex and its record.
        unique_kernel_handle mapping(::OpenFileMappingA(FILE_MAP_READ, FALSE, kRecordName));
        unique_mapped_view view(mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(Record))
                                        : nullptr);
        const auto* shared = static_cast<const Record*>(view.get());
        const LONG state = shared ? shared->state : kStarting;
        if (state == kClosed)
            return;
        if (state == kWindowUp) {
            main = reinterpret_cast<HWND>(static_cast<LONG_PTR>(shared->window));
            if (!::IsWindow(main))
                return;
            // Published but hidden: still starting (it is shown right after), or closing (the record
            // says closed soon after). Wait for either; a hidden window is never shown from here,
            // which would bring back a window the user has just closed.
            if (::IsWindowVisible(main))
                break;
        }
        if (::GetTickCount() - start >= kFindWindowMs)
            return;
        ::Sleep(kFindPollMs);
    }
    DWORD pid = 0;
    ::GetWindowThreadProcessId(main, &pid);
    ::AllowSetForegroundWindow(pid);
    // Asynchronous: a first start that is busy must not hold this one. Restoring the main window
    // brings its owned windows (the folder chooser) back with it.
    if (::IsIconic(main))
        ::ShowWindowAsync(main, SW_RESTORE);
    // While the quit notice is up the main window is disabled: the notice is the one to activate.
    ::SetForegroundWindow(::IsWindowEnabled(main) ? main : ::GetLastActivePopup(main));
}
