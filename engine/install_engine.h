// The install walk: fetch list.txt, then fetch and place every file it names.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/download_queue.h"
#include "engine/http_values.h"
#include "engine/install_host.h"
#include "engine/install_outcome.h"
#include "engine/list/list_entry.h"
#include "engine/list/list_lines.h"
#include "engine/list/list_plan.h"
#include "engine/list_verifier.h"

class UninstallScript;

// Every request: reuse the connection handle and ask the server to keep its TCP connection open
// ("Connection: Keep-Alive"), so that WinINet sends the next request over it from its pool instead of
// connecting (and, over https, shaking hands) once per file; never write to or read from the cache (a
// reinstall must get the publisher's current bytes, and no copy of a product file is left in the
// user's cache folder); no cookies, neither the user's sent nor the server's kept (an update server
// has no use for them, and Wine's WinINet keeps a record for every path it looked cookies up for,
// searched in full on each request, so that a request took longer with every file); do not follow
// redirects; binary transfer.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT |
                                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES |
                                INTERNET_FLAG_TRANSFER_BINARY;   // 0xA4680002
static_assert(kRequestFlags == 0xA4680002, "request flags");

// What the engine borrows from its owner for one run; the connection stays the owner's.
struct InstallSettings {
    HINTERNET hConnection = nullptr;
    DWORD dwRequestFlags = kRequestFlags;
    std::string strObject;            // the manifest's object path on the server
    DWORD dwIoTimeoutMs = kDefaultIoTimeoutMs;   // receive and send time-out of every request
    int nParallel = 1;                // downloads in flight at once; 1 fetches each line when the walk reaches it
};

class CInstallEngine {
public:
    CInstallEngine(IInstallHost& host, UninstallScript& script) : m_host(host), m_script(script) {}
    CInstallEngine(const CInstallEngine&) = delete;
    CInstallEngine& operator=(const CInstallEngine&) = delete;

    void Configure(const InstallSettings& settings);

    // The worker's whole run, in this order whatever happens inside: open the uninstall script, install
    // from the list (only when the script could be created), delete a list.txt in the install folder, give
    // the script its last line and close it.
    int RunInstall(const std::string& strInstallDir, const std::string& strScriptPath);

    // Fetches the manifest and walks it. 1 when every line was walked and every listed file and folder
    // is in place (shortcuts are then made through the host), 0 otherwise; Outcome() says why.
    int InstallFromList(const std::string& strInstallDir);

    std::vector<ListEntry> m_listEntries;
    // How the last InstallFromList ended, for the window's unsuccessful look.
    const InstallOutcome& Outcome() const { return m_outcome; }

private:
    // What placing a fetched file came to.
    enum class Placement {
        Placed,       // the file is in place and its script line written
        TryAgain,     // a lock that outlasted the move's retries, or the script was sealed: fetch again, perhaps
        Lasting,      // refused, or its target cannot be replaced (a folder, read-only): another try will not help
    };
    enum class Fetch { Ok, SendFailed, Refused };
    enum class FileEnd { Placed, Failed, ServerLost, Stopped };
    // How one call for a file ended.
    enum class CallEnd { Whole, Broken, SendFailed, Cancelled };
    struct Download;
    int FetchAndWalk();
    // The walk over the planned lines, in these steps: 1 when every line was walked and every file and folder is
    // in place (the shortcuts are then made), 0 otherwise.
    int InstallListEntries();
    // Holds the walk while a pause is asked; false on a stop.
    bool WaitBeforeLine() const;
    // The downloads that run ahead of the walk, of every line to fetch; none at N=1 (the walk fetches each
    // file itself).
    std::unique_ptr<CDownloadQueue> StartReadAhead();
    // Creates, fetches and places, or refuses line i; false when the walk ends there.
    bool WalkLine(size_t i, CDownloadQueue* readAhead);
    int FinishWalk();
    // Fetches the file of manifest line entry (the read-ahead's download when it has one) and places it
    // under the install folder.
    FileEnd DownloadFile(size_t entry, CDownloadQueue* readAhead);
    void ReportSendErrorOnce(DWORD error);
    std::vector<char>& WalkBuffer();
    bool CreateListedFolder(size_t entry);
    HINTERNET OpenRequest(const std::string& object) const;
    // Sends with these extra headers; timedOut tells a send that took the whole time-out.
    bool SendOnly(HINTERNET request, const std::string& headers, DWORD* error, bool* timedOut) const;
    Fetch SendRequest(HINTERNET request, DWORD* error) const;
    // Reads a whole body in pieces of the buffer's size: false when it fails, is cut short, announces a negative length or
    // passes limit bytes (no partial body is ever taken for a whole one).
    // feed takes each piece as it arrives (false stops the read: the body is then not whole).
    bool ReadBody(HINTERNET request, long long limit, std::vector<char>& buffer,
                  const std::function<bool(const char*, DWORD)>& feed) const;
    bool ReadManifest(HINTERNET request);
    // Fetches a file into its temporary file beside the target with every call it gets, resuming a
    // broken body where the server allows it; thread-safe, so that the read-ahead's fetchers can run it
    // side by side, each with its own buffer. It ends soon after a stop or cancelled.
    CDownloadQueue::Fetched FetchFile(const std::string& requestPath, size_t entry, std::vector<char>& buffer,
                                      const std::atomic<bool>& cancelled);
    // A file already in place (engine/kept_file.cpp): with a verified signed list, a file at the line's
    // local path that is the signed file is Kept without a request; anything else is fetched by FetchFile.
    CDownloadQueue::Fetched KeepOrFetch(const std::string& requestPath, size_t entry, std::vector<char>& buffer,
                                        const std::atomic<bool>& cancelled);
    enum class InPlace { Kept, Fetch, Stopped };
    InPlace CheckInPlace(size_t entry, const std::string& local, std::vector<char>& buffer,
                         const std::atomic<bool>& cancelled);
    // Writes a kept file's uninstall line, as placing it would; false once the script is sealed.
    bool RecordKept(const std::string& local);
    CallEnd CallOnce(const std::string& object, Download& download, std::vector<char>& buffer,
                     const std::atomic<bool>& cancelled, DWORD* sendError, bool* timedOut);
    // The body's first byte again, with the answer's length and validator: a new version starts.
    bool StartOver(HINTERNET request, Download& download);
    // Drops the kept bytes and their temporary file: the next call asks for the whole file.
    void ForgetKept(Download& download);
    // Waits ms before a call; a pause holds it (and ends the wait), false on a stop or cancel.
    bool WaitBeforeCall(unsigned ms, const std::atomic<bool>& cancelled) const;
    bool IsCancelled(const std::atomic<bool>& cancelled) const
    {
        return cancelled || m_host.QuitRequest() == kQuitStop || m_localError.load() != ERROR_SUCCESS;
    }
    // A local cause (engine/local_write_failure.cpp) ends the run: no call, no download repeated for it.
    void NoteLocalFailure(DWORD error);
    // error: why the file local (a path of the install folder) could not be created or written.
    void NoteIfFolderFails(DWORD error, const std::string& local);
    bool EndedByLocalFailure();
    // Places the whole file from its temporary file.
    Placement PlaceFile(const std::string& temp, const std::string& target);

    // The signed file list (engine/install_verify.cpp), with a key built in: list.sha256 and its
    // signature fetched beside list.txt; the signature, header and list.txt's digest checked on the bytes
    // before any line is classified, the digest lines against the plan after, both before any product request.
    bool VerifyListBytes();
    bool VerifyListLines();
    bool Verified(ListVerdict verdict);
    bool ReadSideFile(const char* name, size_t limit, std::string& body);

    IInstallHost& m_host;
    UninstallScript& m_script;
    InstallSettings m_settings;
    std::string m_strInstallDir;
    std::string m_strPrefix;          // the manifest's folder on the server
    std::vector<char> m_buffer;
    const std::atomic<bool> m_bNeverCancelled{false};   // the walk's own downloads end on a stop only
    InstallOutcome m_outcome;
    EntryLines m_lines{m_listEntries};
    std::unique_ptr<ListPlan> m_plan;    // what each manifest line asks for and where it goes, once per run
    int m_nFilesPending = 0;          // file lines of the walk not yet reached
    bool m_bSendErrorShown = false;   // one message box per run
    std::atomic<DWORD> m_localError{ERROR_SUCCESS};   // the first local write failure of the run
    CListVerifier m_verifier;         // the built-in key and, once verified, every file's digest
    std::string m_digestFile;         // list.sha256's bytes between the two checks
};

// The system's text for a WinINet (or Winsock, or system) error code, at most 1023 characters; empty
// when the system has none.
std::wstring InternetErrorText(DWORD code);
