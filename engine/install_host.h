// What the install engine needs from whoever runs it: the quit request, progress, messages, shortcuts.
#pragma once

#include <string>

// The window's request to the worker (m_nQuitRequest): go on, pause before the next line or call, stop.
enum QuitRequestValue : int { kQuitGoOn = 0, kQuitPause = 1, kQuitStop = 2 };

// The main window implements this; the engine's tests implement it without a window.
class IInstallHost {
public:
    // One of QuitRequestValue.
    virtual int QuitRequest() const = 0;
    // The walk is about to go over this many lines, one step each.
    virtual void SetProgressRange(int lines) = 0;
    // One line has been walked; the display may repaint.
    virtual void StepProgress() = 0;
    // A request could not be sent; text is the system's message for the error (may be empty).
    virtual void ReportSendError(const std::wstring& text) = 0;
    // Every line was walked and every file is in place.
    virtual void CreateShortcuts() = 0;

protected:
    ~IInstallHost() = default;
};
