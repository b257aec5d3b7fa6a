// The install walk: fetch list.txt, then fetch and place every file it names.
#include "engine/install_engine.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <optional>
#include <random>

#include "engine/call_budget.h"
#include "engine/create_folder_path.h"
#include "engine/http_values.h"
#include "engine/list/list_files.h"
#include "engine/list/manifest_reader.h"
#include "engine/list/path_rules.h"
#include "platform/handles.h"
#include "platform/wide_names.h"
#include "shell/uninstall_script.h"
#include "shell/writable_folder.h"

namespace {

// Wine's WinINet is several times slower with 64 KiB reads than with 1 MiB ones; memory stays flat
// whatever the file's size. The read-ahead's fetchers share a fixed budget between them.
constexpr DWORD kChunkBytes = 1024 * 1024;
constexpr size_t kReadAheadBufferBudget = 2 * 1024 * 1024;
constexpr size_t kMinFetcherBuffer = 64 * 1024;
constexpr DWORD kManifestReadBytes = 4096;
constexpr DWORD kQuitPollMs = 100;
// How often a wait between two calls for a file looks at the pause and stop request.
constexpr DWORD kWaitPollMs = 50;
// A fresh file is often opened for a moment by a virus scanner; the move is tried again meanwhile.
constexpr int kPlaceAttempts = 5;
constexpr DWORD kPlaceRetryMs = 200;
// Downloads of a file whose target stayed locked through all of the move's attempts.
constexpr int kPlaceRounds = 5;

bool QueryText(HINTERNET request, DWORD info, std::string& text)
{
    char buffer[256] = {};
    DWORD size = sizeof buffer - 1;
    if (!::HttpQueryInfoA(request, info, buffer, &size, nullptr))
        return false;
    text.assign(buffer, std::min<DWORD>(size, sizeof buffer - 1));
    return true;
}

void SetIoTimeouts(HINTERNET handle, DWORD ms)
{
    ::InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
    ::InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
}

// The announced body length: -1 without a Content-Length header (or one without a number); false for
// a negative one, which no body can meet.
bool AnnouncedLength(HINTERNET request, long long& expected)
{
    expected = -1;
    std::string lengthText;
    if (!QueryText(request, HTTP_QUERY_CONTENT_LENGTH, lengthText))
        return true;
    long long length = 0;
    if (!ParseContentLength(lengthText.c_str(), &length))
        return true;   // a header without a number: read the body to its end
    expected = length;
    return length >= 0;
}

// A target that is a folder or read-only cannot be replaced however often the move is tried (the system
// refuses the move over it); asked before moving, so that it fails at once and alike everywhere.
bool IsUnreplaceable(const std::string& target)
{
    const DWORD attributes = ::GetFileAttributesW(WideFrom936(target).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0;
}

// One that is open in another program (a scanner, the running product) usually can be, a moment later.
bool IsTransientLock(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// Spreads the waits between calls, so that files that failed together do not call again together.
unsigned Jitter()
{
    thread_local std::minstd_rand generator(::GetTickCount() ^ (::GetCurrentThreadId() << 16));
    return static_cast<unsigned>(generator() % 1000);
}

}  // namespace

std::wstring InternetErrorText(DWORD code)
{
    wchar_t text[1024] = {};
    const DWORD capacity = sizeof text / sizeof text[0];
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    ::GetModuleHandleW(L"wininet.dll"), code, 0, text, capacity, nullptr);
    if (length == 0)
        length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  text, capacity, nullptr);
    if (length == 0)
        return std::wstring();
    return std::wstring(text, std::min<DWORD>(length, capacity - 1));
}

void CInstallEngine::Configure(const InstallSettings& settings)
{
    m_settings = settings;
    if (m_settings.nParallel < 1)
        m_settings.nParallel = 1;
    if (m_settings.nParallel > 1) {
        // WinINet allows only a few connections to one server per process unless told otherwise.
        DWORD connections = static_cast<DWORD>(m_settings.nParallel);
        ::InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections, sizeof connections);
        ::InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &connections, sizeof connections);
    }
}

HINTERNET CInstallEngine::OpenRequest(const std::string& object) const
{
    HINTERNET request = ::HttpOpenRequestA(m_settings.hConnection, "GET", object.c_str(), "HTTP/1.0", nullptr,
                                           nullptr, m_settings.dwRequestFlags, 1);
    if (request)
        SetIoTimeouts(request, m_settings.dwIoTimeoutMs);
    return request;
}

bool CInstallEngine::SendOnly(HINTERNET request, const std::string& headers, DWORD* error, bool* timedOut) const
{
    *error = ERROR_SUCCESS;
    *timedOut = false;
    if (request == nullptr) {
        *error = ::GetLastError();
        return false;
    }
    const DWORD started = ::GetTickCount();
    if (!::HttpSendRequestA(request, headers.empty() ? nullptr : headers.c_str(), static_cast<DWORD>(headers.size()),
                            nullptr, 0)) {
        *error = ::GetLastError();
        // Only the time taken tells a server that let the whole time-out pass: Wine reports such a
        // send as an aborted connection, and Windows reports a slow connect as a time-out as well.
        *timedOut = ::GetTickCount() - started >= m_settings.dwIoTimeoutMs;
        if (*timedOut)
            *error = ERROR_INTERNET_TIMEOUT;
        return false;
    }
    return true;
}

CInstallEngine::Fetch CInstallEngine::SendRequest(HINTERNET request, DWORD* error) const
{
    bool timedOut = false;
    if (!SendOnly(request, std::string(), error, &timedOut))
        return Fetch::SendFailed;
    std::string status;
    // "0" is what comes back when the server closed without answering.
    if (!QueryText(request, HTTP_QUERY_STATUS_CODE, status) || !IsWholeBodyStatus(status.c_str()))
        return Fetch::Refused;
    return Fetch::Ok;
}

int CInstallEngine::RunInstall(const std::string& strInstallDir, const std::string& strScriptPath)
{
    int result = 0;
    if (m_script.Open(strScriptPath) || m_script.IsSealed()) {
        result = InstallFromList(strInstallDir);
    } else {
        // Without its script the run could not undo what it places, and nothing is fetched for a folder
        // that takes no file: it ends before any request.
        const DWORD error = ProbeWritableFolder(strInstallDir);
        m_outcome = InstallOutcome{IsDiskFull(error) ? InstallEnd::DiskFull : InstallEnd::CannotWrite, 0};
    }
    ::DeleteFileW(WideFrom936(InstallFolderFile(strInstallDir, kListFileName)).c_str());
    m_script.Seal();
    return result;
}

int CInstallEngine::InstallFromList(const std::string& strInstallDir)
{
    m_strInstallDir = strInstallDir;
    m_strPrefix = RequestPrefix(m_settings.strObject);
    m_outcome = InstallOutcome{InstallEnd::ManifestRefused, 0};
    m_nFilesPending = 0;
    m_bSendErrorShown = false;
    m_localError = ERROR_SUCCESS;
    try {
        return FetchAndWalk();
    } catch (...) {
        // Out of memory (a huge list in this 32-bit process) or any other surprise: the run ends
        // unsuccessful and in order; whatever was not reached counts as not installed.
        if (m_outcome.end == InstallEnd::Stopped || m_outcome.end == InstallEnd::Complete) {
            m_outcome.end = InstallEnd::FilesFailed;
            m_outcome.failedFiles += m_nFilesPending;
        }
        return 0;
    }
}

int CInstallEngine::FetchAndWalk()
{
    unique_hinternet request(OpenRequest(m_settings.strObject));
    DWORD error = 0;
    switch (SendRequest(request.get(), &error)) {
    case Fetch::SendFailed:
        m_outcome.end = InstallEnd::ServerLost;
        return 0;
    case Fetch::Refused:
        return 0;
    case Fetch::Ok:
        break;
    }
    if (!ReadManifest(request.get()))
        return 0;
    request.reset();
    // Nothing of the product is requested when the list is not verified; the checks set the outcome.
    if (m_verifier.HasKey() && !VerifyListBytes())
        return 0;
    m_plan = std::make_unique<ListPlan>(m_lines, m_strPrefix, m_strInstallDir);
    if (m_verifier.HasKey() && !VerifyListLines())
        return 0;
    return InstallListEntries();
}

bool CInstallEngine::ReadBody(HINTERNET request, long long limit, std::vector<char>& buffer,
                              const std::function<bool(const char*, DWORD)>& feed) const
{
    long long expected = -1;
    if (!AnnouncedLength(request, expected) || expected > limit)
        return false;
    const DWORD piece = static_cast<DWORD>(buffer.size());
    long long total = 0;
    for (;;) {
        DWORD want = piece;
        if (expected >= 0)
            want = static_cast<DWORD>(std::min<long long>(want, expected - total));
        else if (limit < LLONG_MAX)
            want = static_cast<DWORD>(std::min<long long>(want, limit - total + 1));   // one byte past tells
        if (want == 0)
            break;
        DWORD got = 0;
        // After a failed read WinINet reports a fake end of data: stop at the first failure.
        if (!::InternetReadFile(request, buffer.data(), want, &got))
            return false;
        if (got == 0)
            break;
        total += got;
        if (total > limit || !feed(buffer.data(), got))
            return false;
    }
    return expected < 0 || total == expected;
}

bool CInstallEngine::ReadManifest(HINTERNET request)
{
    std::vector<ListEntry> entries;
    ManifestReader reader(entries);
    std::vector<char> buffer(kManifestReadBytes);
    m_verifier.BeginList();
    // A list cut short must not install: only a whole body is read as the manifest.
    if (!ReadBody(request, kMaxManifestBytes, buffer, [this, &reader](const char* bytes, DWORD size) {
            m_verifier.FeedList(bytes, size);
            return reader.Feed(bytes, size);
        }) ||
        !reader.Finish())
        return false;
    m_listEntries.insert(m_listEntries.end(), entries.begin(), entries.end());
    return true;
}

int CInstallEngine::InstallListEntries()
{
    const ListPlan& plan = *m_plan;
    m_host.SetProgressRange(static_cast<int>(plan.size()));
    m_nFilesPending = static_cast<int>(plan.FileLines().size());
    const std::unique_ptr<CDownloadQueue> readAhead = StartReadAhead();
    m_outcome = InstallOutcome{InstallEnd::Stopped, 0};
    for (size_t i = 0; i < plan.size(); ++i) {
        if (!WaitBeforeLine() || !WalkLine(i, readAhead.get())) {
            EndedByLocalFailure();   // a local failure says so, whatever else ended the walk
            return 0;
        }
        m_host.StepProgress();
    }
    return FinishWalk();
}

bool CInstallEngine::WaitBeforeLine() const
{
    while (m_host.QuitRequest() == kQuitPause)
        ::Sleep(kQuitPollMs);
    return m_host.QuitRequest() != kQuitStop && m_localError.load() == ERROR_SUCCESS;
}

std::unique_ptr<CDownloadQueue> CInstallEngine::StartReadAhead()
{
    if (m_settings.nParallel <= 1)
        return nullptr;
    std::vector<size_t> lines = m_plan->FetchLines();
    if (lines.size() <= 1)
        return nullptr;
    const size_t buffer = std::max(kMinFetcherBuffer, std::min<size_t>(
                              kChunkBytes, kReadAheadBufferBudget / static_cast<size_t>(m_settings.nParallel)));
    auto queue = std::make_unique<CDownloadQueue>(
        m_host, m_settings.nParallel, buffer, std::move(lines),
        [this](size_t line) {
            return CDownloadQueue::Line{m_plan->RequestPath(line), SameFileKey(m_plan->LocalPath(line))};
        },
        [this](const std::string& path, size_t entry, std::vector<char>& bytes,
               const std::atomic<bool>& cancelled) { return KeepOrFetch(path, entry, bytes, cancelled); },
        [this](const std::string& path) { m_script.DiscardDownload(TempPathFor(m_strInstallDir + RelativePathOf(path))); });
    if (!queue->HasFetchers())
        return nullptr;
    return queue;
}

bool CInstallEngine::WalkLine(size_t i, CDownloadQueue* readAhead)
{
    const LinePlan& line = (*m_plan)[i];
    if (line.kind == LineKind::Skipped)
        return true;
    if (line.kind == LineKind::Folder) {
        if (!CreateListedFolder(i))
            ++m_outcome.failedFiles;
        return true;
    }
    --m_nFilesPending;
    if (line.Refused()) {
        ++m_outcome.failedFiles;   // refused without a request
        return true;
    }
    switch (DownloadFile(i, readAhead)) {
    case FileEnd::Placed:
        return true;
    case FileEnd::Failed:
        ++m_outcome.failedFiles;
        return true;
    case FileEnd::Stopped:
        return false;
    case FileEnd::ServerLost:
        // The server is gone: trying every remaining line five times would take minutes and could not
        // succeed. The run ends as a stop does.
        m_outcome.end = InstallEnd::ServerLost;
        m_outcome.failedFiles += 1 + m_nFilesPending;
        return false;
    }
    return true;
}

int CInstallEngine::FinishWalk()
{
    if (EndedByLocalFailure())
        return 0;
    if (m_outcome.failedFiles > 0) {
        m_outcome.end = InstallEnd::FilesFailed;
        return 0;
    }
    // A stop confirmed while the last line was under way: no shortcuts the script would not name.
    if (m_host.QuitRequest() == kQuitStop)
        return 0;
    m_host.CreateShortcuts();
    m_outcome.end = InstallEnd::Complete;
    return 1;
}

CInstallEngine::FileEnd CInstallEngine::DownloadFile(size_t entry, CDownloadQueue* readAhead)
{
    const std::string path = m_plan->RequestPath(entry);
    // The read-ahead's token holds this file's key until the file is placed or dropped, when this returns.
    std::optional<CDownloadQueue::Taken> taken;
    if (readAhead)
        taken.emplace(readAhead->TakeNext(entry));
    CDownloadQueue::Fetched fetched = taken ? taken->fetched() : KeepOrFetch(path, entry, WalkBuffer(), m_bNeverCancelled);
    const std::string local = m_plan->LocalPath(entry);
    if (fetched.result == CDownloadQueue::Result::Kept)
        return RecordKept(local) ? FileEnd::Placed : FileEnd::Failed;
    // A target held open for longer than the move's own retries (the product running, a scanner) gets
    // the file fetched again a few times. The token keeps this file's key meanwhile, so no fetcher
    // writes the same temporary file.
    for (int round = 1; fetched.result == CDownloadQueue::Result::Ok; ++round) {
        const Placement placed = PlaceFile(TempPathFor(local), local);
        if (placed == Placement::Placed)
            return FileEnd::Placed;
        if (placed == Placement::Lasting || round == kPlaceRounds || m_host.QuitRequest() == kQuitStop)
            return FileEnd::Failed;
        fetched = FetchFile(path, entry, WalkBuffer(), m_bNeverCancelled);
    }
    switch (fetched.result) {
    case CDownloadQueue::Result::Ok:
    case CDownloadQueue::Result::Kept:
        break;   // placed, kept or failed above
    case CDownloadQueue::Result::Failed:
        // A failed send is told only now that no call is left to mend it.
        if (fetched.sendError != ERROR_SUCCESS)
            ReportSendErrorOnce(fetched.sendError);
        return FileEnd::Failed;
    case CDownloadQueue::Result::ServerLost:
        ReportSendErrorOnce(fetched.sendError);
        return FileEnd::ServerLost;
    case CDownloadQueue::Result::Abandoned:
        // A stop ended the file's calls: the host, which knows the user has asked to leave, decides
        // whether a failing send is still worth a word.
        if (fetched.sendError != ERROR_SUCCESS)
            ReportSendErrorOnce(fetched.sendError);
        break;
    }
    return FileEnd::Stopped;
}

std::vector<char>& CInstallEngine::WalkBuffer()
{
    // Only a walk that fetches itself needs it; the read-ahead's fetchers have buffers of their own.
    if (m_buffer.size() < kChunkBytes)
        m_buffer.resize(kChunkBytes);
    return m_buffer;
}

void CInstallEngine::ReportSendErrorOnce(DWORD error)
{
    if (m_bSendErrorShown)
        return;
    m_bSendErrorShown = true;
    m_host.ReportSendError(InternetErrorText(error));
}

bool CInstallEngine::CreateListedFolder(size_t entry)
{
    if ((*m_plan)[entry].Refused())
        return false;
    const std::string folder = m_plan->LocalPath(entry);
    CreateFolderPath(folder.c_str());
    const DWORD attributes = ::GetFileAttributesW(WideFrom936(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return true;
    NoteIfFolderFails(ERROR_SUCCESS, folder + "\\");
    return false;
}

// One file's download across its calls: the temporary file and what a next call can build on.
struct CInstallEngine::Download {
    size_t entry = 0;
    std::string local;
    std::string temp;
    unique_file file;                          // open while the temporary file holds kept bytes
    long long kept = 0;                        // bytes in the temporary file, all of one version
    long long length = -1;                     // that version's length as its first answer gave it
    std::string validator;                     // that answer's ETag or Last-Modified, for If-Range
    std::unique_ptr<CDownloadDigest> digest;   // the hash of the kept bytes, carried over to the rest

    // Only bytes of a version the server can name again, of a known length, are worth a range request.
    bool Resumable() const { return kept > 0 && length > kept && !validator.empty(); }
};

CDownloadQueue::Fetched CInstallEngine::FetchFile(const std::string& requestPath, size_t entry,
                                                  std::vector<char>& buffer, const std::atomic<bool>& cancelled)
{
    Download download;
    download.entry = entry;
    download.local = m_strInstallDir + RelativePathOf(requestPath);
    download.temp = TempPathFor(download.local);
    const bool underPrefix = requestPath.compare(0, m_strPrefix.size(), m_strPrefix) == 0;
    const std::string object = underPrefix ? RequestObject(m_strPrefix, requestPath.substr(m_strPrefix.size()))
                                           : RequestObject(std::string(), requestPath);

    CallBudget budget;
    int sendFailures = 0;
    CDownloadQueue::Fetched fetched{CDownloadQueue::Result::Failed, ERROR_SUCCESS};
    for (;;) {
        if (!WaitBeforeCall(budget.PauseBeforeNextMs(Jitter()), cancelled)) {
            fetched.result = CDownloadQueue::Result::Abandoned;
            break;
        }
        DWORD sendError = ERROR_SUCCESS;
        bool timedOut = false;
        const CallEnd end = CallOnce(object, download, buffer, cancelled, &sendError, &timedOut);
        if (end == CallEnd::Whole)
            return CDownloadQueue::Fetched{CDownloadQueue::Result::Ok, ERROR_SUCCESS};
        if (end == CallEnd::Cancelled) {
            fetched.result = CDownloadQueue::Result::Abandoned;
            break;
        }
        budget.Record(download.kept);
        if (end == CallEnd::SendFailed) {
            ++sendFailures;
            fetched.sendError = sendError;
            // A server that let the whole time-out pass would cost that time again on every call.
            if (timedOut) {
                fetched.result = CDownloadQueue::Result::ServerLost;
                break;
            }
        }
        if (!budget.MayCallAgain()) {
            if (sendFailures == budget.Calls())
                fetched.result = CDownloadQueue::Result::ServerLost;
            break;
        }
    }
    // Also a temporary file left by an earlier run that was killed mid-download goes.
    download.file.reset();
    m_script.DiscardDownload(download.temp);
    return fetched;
}

CInstallEngine::CallEnd CInstallEngine::CallOnce(const std::string& object, Download& download,
                                                 std::vector<char>& buffer, const std::atomic<bool>& cancelled,
                                                 DWORD* sendError, bool* timedOut)
{
    unique_hinternet request(OpenRequest(object));
    const bool resuming = download.Resumable();
    const std::string headers = resuming ? RangeRequestHeaders(download.kept, download.validator) : std::string();
    if (!SendOnly(request.get(), headers, sendError, timedOut))
        return CallEnd::SendFailed;
    std::string status;
    std::string range;
    QueryText(request.get(), HTTP_QUERY_STATUS_CODE, status);
    RangeAnswer answer = RangeAnswer::Unusable;
    if (resuming) {
        QueryText(request.get(), HTTP_QUERY_CONTENT_RANGE, range);
        answer = JudgeRangeAnswer(status.c_str(), range.c_str(), download.kept, download.length);
    } else if (IsWholeBodyStatus(status.c_str())) {
        answer = RangeAnswer::Restart;
    }
    if (answer == RangeAnswer::Unusable) {
        ForgetKept(download);
        return CallEnd::Broken;
    }
    if (answer == RangeAnswer::Restart && !StartOver(request.get(), download))
        return CallEnd::Broken;
    // A signed file's size is known: a body that announces another length, or runs past it, is not the
    // file, and no more than that size is ever written.
    long long limit = LLONG_MAX;
    if (m_verifier.HasKey()) {
        limit = std::max(0LL, m_verifier.SizeOf(download.entry)) - download.kept;
        long long announced = -1;
        if (limit < 0 || !AnnouncedLength(request.get(), announced) || (announced >= 0 && announced != limit)) {
            ForgetKept(download);
            return CallEnd::Broken;
        }
    }

    bool stopped = false;
    bool writeFailed = false;
    const bool whole = ReadBody(request.get(), limit, buffer, [&](const char* bytes, DWORD size) {
        // Looked at between reads, so that a stop or the end of the run ends a long body soon.
        if (IsCancelled(cancelled)) {
            stopped = true;
            return false;
        }
        DWORD written = 0;
        const BOOL wrote = ::WriteFile(download.file.get(), bytes, size, &written, nullptr);
        if (!wrote || written != size) {
            // Disk full (a short write has no room for the rest), a volume or share gone: no other file fares
            // better.
            NoteLocalFailure(wrote ? ERROR_DISK_FULL : ::GetLastError());
            writeFailed = true;
            return false;
        }
        download.kept += size;
        download.digest->Feed(bytes, size);
        return true;
    });
    request.reset();
    if (stopped)
        return CallEnd::Cancelled;
    if (whole && !writeFailed && (download.length < 0 || download.kept == download.length)) {
        download.file.reset();
        if (download.digest->Matches())
            return CallEnd::Whole;
        ForgetKept(download);   // not the publisher's bytes: nothing of them is built on
        return CallEnd::Broken;
    }
    if (writeFailed || !download.Resumable())
        ForgetKept(download);
    return CallEnd::Broken;
}

bool CInstallEngine::StartOver(HINTERNET request, Download& download)
{
    long long length = -1;
    AnnouncedLength(request, length);   // a negative one fails the body's read
    std::string etag;
    std::string lastModified;
    QueryText(request, HTTP_QUERY_ETAG, etag);
    QueryText(request, HTTP_QUERY_LAST_MODIFIED, lastModified);

    download.file.reset();
    download.kept = 0;
    download.length = length;
    download.validator = IfRangeValidator(etag, lastModified);
    download.digest = std::make_unique<CDownloadDigest>(m_verifier, download.entry);
    CreateFolderPath(download.local.c_str());
    download.file = m_script.BeginDownload(download.temp);   // created anew, or emptied
    if (!download.file) {
        const DWORD error = ::GetLastError();
        if (!m_script.IsSealed())
            NoteIfFolderFails(error, download.local);
        return false;
    }
    return true;
}

void CInstallEngine::ForgetKept(Download& download)
{
    download.file.reset();
    m_script.DiscardDownload(download.temp);
    download.kept = 0;
    download.length = -1;
    download.validator.clear();
}

bool CInstallEngine::WaitBeforeCall(unsigned ms, const std::atomic<bool>& cancelled) const
{
    const DWORD started = ::GetTickCount();
    bool paused = false;
    for (;;) {
        if (IsCancelled(cancelled))
            return false;
        if (m_host.QuitRequest() == kQuitPause) {
            paused = true;   // no call starts while paused; once it ends, the call goes at once
        } else {
            const DWORD waited = ::GetTickCount() - started;
            if (paused || waited >= ms)
                return true;
            ::Sleep(std::min<DWORD>(kWaitPollMs, ms - waited));
            continue;
        }
        ::Sleep(kWaitPollMs);
    }
}

CInstallEngine::Placement CInstallEngine::PlaceFile(const std::string& temp, const std::string& target)
{
    if (IsUnreplaceable(target)) {
        m_script.DiscardDownload(temp);
        return Placement::Lasting;
    }
    for (int attempt = 0; attempt < kPlaceAttempts; ++attempt) {
        if (attempt > 0)
            ::Sleep(kPlaceRetryMs);
        DWORD error = 0;
        switch (m_script.PlaceDownload(temp, target, &error)) {
        case UninstallScript::PlaceResult::Placed:
            return Placement::Placed;
        case UninstallScript::PlaceResult::Abandoned:
            m_script.DiscardDownload(temp);
            return Placement::TryAgain;
        case UninstallScript::PlaceResult::Failed:
            if (!IsTransientLock(error)) {
                m_script.DiscardDownload(temp);
                return Placement::Lasting;
            }
            break;
        }
    }
    m_script.DiscardDownload(temp);
    return Placement::TryAgain;
}
