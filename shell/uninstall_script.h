// The uninstall script unload.bat while it is written, and the lock that keeps it whole.
#pragma once

#include <windows.h>

#include <set>
#include <string>

#include "platform/critical_section.h"
#include "platform/handles.h"

// Shared by the worker, which appends lines and places downloaded files, its read-ahead fetchers, which
// create temporary files, and the window's thread, which may end the script while the worker is still
// blocked in a download.
//
// Every placement (moving a finished download over its target and appending the target's line)
// happens under one lock, and so does Seal(), which writes the last line and closes the file. After
// Seal() nothing is placed any more: every download in flight or fetched but not yet placed is
// abandoned and its temporary file removed, so the script names exactly the files that are in place.
class UninstallScript {
public:
    UninstallScript() = default;
    UninstallScript(const UninstallScript&) = delete;
    UninstallScript& operator=(const UninstallScript&) = delete;

    // Creates or truncates the file; write-only, no sharing. A failure is not reported: writes then
    // go nowhere. Once sealed (the window's thread ended the run before a starved worker got here)
    // it does nothing: the sealed script stays as it is.
    void Open(const std::string& path);
    bool IsOpen();

    // One write of exactly these bytes (nothing when the file is not open). False once sealed: what
    // the line would name must then not be made.
    bool Append(const std::string& bytes);

    // Creates the temporary file of a download and remembers it, unless the script is sealed
    // (then the result is empty). The handle allows deletion, so Seal() can remove the file.
    // Temporary names are opened in their extended-length form, so they may pass 259 bytes.
    unique_file BeginDownload(const std::string& tempPath);

    enum class PlaceResult { Placed, Failed, Abandoned };
    // Moves the finished temporary file over target and appends line, as one step.
    PlaceResult PlaceDownload(const std::string& tempPath, const std::string& target,
                              const std::string& line, DWORD* error);
    // Deletes the temporary file of a download that will not be placed and forgets it.
    void DiscardDownload(const std::string& tempPath);

    // Removes an unfinished download, appends the self-delete line and closes the file; once.
    void Seal();
    bool IsSealed();

private:
    CCriticalSection m_cs;
    unique_file m_file;
    bool m_bSealed = false;
    std::set<std::string> m_inFlight;   // temporary files of downloads under way or not yet placed
};
