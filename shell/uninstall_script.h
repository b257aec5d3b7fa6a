// The uninstall script unload.bat while it is written, and the lock that keeps it whole.
#pragma once

#include <windows.h>

#include <functional>
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

    // Creates or truncates the file (a code page 936 path); write-only, no sharing. False when it cannot be
    // created (a folder of that name, no rights): the run must not go on without its script. Once sealed (the
    // window's thread ended the run before a starved worker got here) it does nothing and is false: the
    // sealed script stays as it is.
    bool Open(const std::string& path);

    // Creates the temporary file of a download and remembers it, unless the script is sealed
    // (then the result is empty). The handle allows deletion, so Seal() can remove the file.
    // Temporary names are opened in their extended-length form, so they may pass 259 bytes.
    unique_file BeginDownload(const std::string& tempPath);

    enum class PlaceResult { Placed, Failed, Abandoned };
    // Moves the finished temporary file over target and appends the line that deletes target, as one
    // step. A target that the script cannot name (see ScriptNameOf) is placed without a line.
    PlaceResult PlaceDownload(const std::string& tempPath, const std::string& target, DWORD* error);

    enum class Line { Delete, RemoveFolder };
    // Makes something the script must undo (a shell link, the program group) and appends its line, as one
    // step: nothing is made once the script is sealed, and the line names only what make() made (it is
    // written after it, when its short name exists). False when nothing was made.
    bool MakeAndRecord(const std::function<bool()>& make, Line line, const std::wstring& path);
    // Deletes the temporary file of a download that will not be placed and forgets it.
    void DiscardDownload(const std::string& tempPath);

    // Removes an unfinished download, appends the self-delete line and closes the file; once.
    void Seal();
    bool IsSealed();

private:
    void WriteLine(Line line, const std::wstring& path);   // under m_cs

    CCriticalSection m_cs;
    unique_file m_file;
    bool m_bSealed = false;
    std::set<std::string> m_inFlight;   // temporary files of downloads under way or not yet placed
};

// The bytes that name path in unload.bat, as cmd reads the script through the uninstall link: in the
// system's OEM code page, '%' doubled and '/' as a backslash. Where that code page cannot hold a character of the
// path, the path's short (8.3) form, which the system makes in that code page's characters. False where
// neither exists: the line is then left out rather than name something else ('?' is a wildcard for del).
bool ScriptNameOf(const std::wstring& path, std::string& name);
