// The install walk: fetch list.txt, then fetch and place every file it names.
#include "engine/install_engine.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>

#include "engine/create_folder_path.h"
#include "engine/http_values.h"
#include "engine/line_kinds.h"
#include "engine/manifest_reader.h"
#include "engine/path_rules.h"
#include "platform/handles.h"
#include "platform/wide_names.h"
#include "shell/uninstall_script.h"

namespace {

// Wine's WinINet is several times slower with 64 KiB reads than with 1 MiB ones; memory stays flat
// whatever the file's size. The read-ahead's fetchers share a fixed budget between them.
constexpr DWORD kChunkBytes = 1024 * 1024;
constexpr size_t kReadAheadBufferBudget = 2 * 1024 * 1024;
constexpr size_t kMinFetcherBuffer = 64 * 1024;
constexpr DWORD kManifestReadBytes = 4096;
// No publisher's list comes near this; a larger answer is not a manifest and must not exhaust memory.
constexpr long long kMaxManifestBytes = 64LL * 1024 * 1024;
constexpr int kCallsPerFile = 5;
constexpr DWORD kQuitPollMs = 100;
// A fresh file is often opened for a moment by a virus scanner; the move is tried again meanwhile.
constexpr int kPlaceAttempts = 5;
constexpr DWORD kPlaceRetryMs = 200;

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

CInstallEngine::Fetch CInstallEngine::SendRequest(HINTERNET request, DWORD* error) const
{
    *error = ERROR_SUCCESS;
    if (request == nullptr) {
        *error = ::GetLastError();
        return Fetch::SendFailed;
    }
    const DWORD started = ::GetTickCount();
    if (!::HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
        *error = ::GetLastError();
        // Wine reports a send that ran into its time-out as an aborted connection; it is a time-out.
        if (::GetTickCount() - started >= m_settings.dwIoTimeoutMs)
            *error = ERROR_INTERNET_TIMEOUT;
        return Fetch::SendFailed;
    }
    std::string status;
    // "0" is what comes back when the server closed without answering; only 2xx is a body to keep.
    if (!QueryText(request, HTTP_QUERY_STATUS_CODE, status) || !IsSuccessStatus(status.c_str()))
        return Fetch::Refused;
    return Fetch::Ok;
}

int CInstallEngine::RunInstall(const std::string& strInstallDir, const std::string& strScriptPath)
{
    m_script.Open(strScriptPath);
    const int result = InstallFromList(strInstallDir);
    ::DeleteFileW(WideFrom936(strInstallDir + "//list.txt").c_str());
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
    m_lineKinds = ClassifyLines(m_listEntries, m_strPrefix);
    if (m_verifier.HasKey() && !VerifyList())
        return 0;   // nothing of the product is requested; VerifyList set the outcome
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
    // A list cut short must not install: only a whole body is read as the manifest.
    if (!ReadBody(request, kMaxManifestBytes, buffer, [&reader](const char* bytes, DWORD size) {
            reader.Feed(bytes, size);
            return true;
        }))
        return false;
    reader.Finish();
    m_listEntries.insert(m_listEntries.end(), entries.begin(), entries.end());
    return true;
}

int CInstallEngine::InstallListEntries()
{
    const int n = static_cast<int>(m_listEntries.size());
    m_host.SetProgressRange(n);
    if (m_lineKinds.size() != m_listEntries.size())
        m_lineKinds = ClassifyLines(m_listEntries, m_strPrefix);
    const std::vector<LineKind>& kinds = m_lineKinds;
    std::vector<int> fileLines;
    for (int i = 0; i < n; ++i)
        if (kinds[i] == LineKind::File)
            fileLines.push_back(i);
    m_nFilesPending = static_cast<int>(fileLines.size());

    std::unique_ptr<CDownloadQueue> readAhead;
    if (m_settings.nParallel > 1 && fileLines.size() > 1) {
        const size_t buffer = std::max(kMinFetcherBuffer, std::min<size_t>(
                                  kChunkBytes, kReadAheadBufferBudget / static_cast<size_t>(m_settings.nParallel)));
        readAhead = std::make_unique<CDownloadQueue>(
            m_host, m_settings.nParallel, buffer,
            [this](const std::string& path, size_t entry, std::vector<char>& bytes, DWORD* error) {
                return FetchToTemp(path, entry, bytes, error);
            },
            [this](const std::string& path) { m_script.DiscardDownload(TempPathFor(m_strInstallDir + RelativePathOf(path))); });
        if (!readAhead->HasFetchers())
            readAhead.reset();
    }
    size_t nextFile = 0;            // the next file line to add to the read-ahead
    std::vector<char> ahead(n, 0);  // lines whose first call the read-ahead makes

    m_outcome = InstallOutcome{InstallEnd::Stopped, 0};
    for (int i = 0; i < n; ++i) {
        while (m_host.QuitRequest() == 1)
            ::Sleep(kQuitPollMs);
        if (m_host.QuitRequest() == 2)
            return 0;

        const std::string& line = m_listEntries[i].strText;
        switch (kinds[i]) {
        case LineKind::Folder:
            if (!CreateListedFolder(line))
                ++m_outcome.failedFiles;
            break;
        case LineKind::File: {
            --m_nFilesPending;
            if (readAhead)
                AddReadAhead(*readAhead, fileLines, nextFile, ahead);
            switch (FetchListedFile(static_cast<size_t>(i), ahead[i] ? readAhead.get() : nullptr)) {
            case FileEnd::Placed:
                break;
            case FileEnd::Failed:
                ++m_outcome.failedFiles;
                break;
            case FileEnd::ServerLost:
                // The server is gone: trying every remaining line five times would take minutes and
                // could not succeed. The run ends as a stop does.
                m_outcome.end = InstallEnd::ServerLost;
                m_outcome.failedFiles += 1 + m_nFilesPending;
                return 0;
            }
            break;
        }
        case LineKind::Skipped:
            break;
        }
        m_host.StepProgress();
    }
    if (m_outcome.failedFiles > 0) {
        m_outcome.end = InstallEnd::FilesFailed;
        return 0;
    }
    // A stop confirmed while the last line was under way: no shortcuts the script would not name.
    if (m_host.QuitRequest() == 2)
        return 0;
    m_host.CreateShortcuts();
    m_outcome.end = InstallEnd::Complete;
    return 1;
}

void CInstallEngine::AddReadAhead(CDownloadQueue& queue, const std::vector<int>& fileLines, size_t& nextFile,
                                  std::vector<char>& ahead)
{
    // At most N downloads not yet taken back, this line's among them: the disk holds no more unplaced
    // files. Refused lines are not asked for at all.
    while (nextFile < fileLines.size() && queue.Outstanding() < m_settings.nParallel) {
        const int line = fileLines[nextFile++];
        const std::string path = m_strPrefix + m_listEntries[line].strText;
        if (IsPlaceable(path))
            ahead[line] = queue.Add(path, SameFileKey(m_strInstallDir + RelativePathOf(path)), static_cast<size_t>(line));
    }
}

CInstallEngine::FileEnd CInstallEngine::FetchListedFile(size_t entry, CDownloadQueue* readAhead)
{
    const std::string path = m_strPrefix + m_listEntries[entry].strText;
    int calls = 0;
    int sendFailures = 0;
    for (; calls < kCallsPerFile && m_host.QuitRequest() != 2; ++calls) {
        DWORD sendError = 0;
        // The first call is the read-ahead's when there is one; a failed read-ahead is called again here.
        const Call call = calls == 0 && readAhead ? PlaceFetched(readAhead->TakeNext(&sendError), path)
                                                  : DownloadFile(path, entry, &sendError);
        switch (call) {
        case Call::Placed:
            return FileEnd::Placed;
        case Call::Lasting:
            return FileEnd::Failed;
        case Call::Failed:
            break;
        case Call::SendFailed:
            ++sendFailures;
            ReportSendErrorOnce(sendError);
            // A server that let the whole time-out pass without answering would cost that time again
            // on every call.
            if (sendError == ERROR_INTERNET_TIMEOUT)
                return FileEnd::ServerLost;
            break;
        }
    }
    return calls > 0 && sendFailures == calls ? FileEnd::ServerLost : FileEnd::Failed;
}

CInstallEngine::Call CInstallEngine::PlaceFetched(CDownloadQueue::Result fetched, const std::string& path)
{
    switch (fetched) {
    case CDownloadQueue::Result::Ok: {
        const std::string local = m_strInstallDir + RelativePathOf(path);
        return PlaceFile(TempPathFor(local), local);
    }
    case CDownloadQueue::Result::SendFailed:
        return Call::SendFailed;
    case CDownloadQueue::Result::Failed:
    case CDownloadQueue::Result::Abandoned:
        break;
    }
    return Call::Failed;
}

void CInstallEngine::ReportSendErrorOnce(DWORD error)
{
    if (m_bSendErrorShown)
        return;
    m_bSendErrorShown = true;
    m_host.ReportSendError(InternetErrorText(error));
}

bool CInstallEngine::CreateListedFolder(const std::string& line)
{
    if (CheckLocalFolder(m_strInstallDir, line) != PathVerdict::Ok)
        return false;
    std::string folder = m_strInstallDir + line;
    if (!EndsWithSeparator936(folder))
        folder += "\\";
    CreateFolderPath(folder.c_str());
    const DWORD attributes = ::GetFileAttributesW(WideFrom936(folder).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CInstallEngine::IsPlaceable(const std::string& requestPath) const
{
    return CheckLocalPath(m_strInstallDir, RelativePathOf(requestPath)) == PathVerdict::Ok;
}

CInstallEngine::Call CInstallEngine::DownloadFile(const std::string& strPath, size_t entry, DWORD* sendError)
{
    *sendError = ERROR_SUCCESS;
    if (!IsPlaceable(strPath))
        return Call::Lasting;   // refused without a request: it would land outside the folder or be misread
    if (m_buffer.size() < kChunkBytes)
        m_buffer.resize(kChunkBytes);
    return PlaceFetched(FetchToTemp(strPath, entry, m_buffer, sendError), strPath);
}

CDownloadQueue::Result CInstallEngine::FetchToTemp(const std::string& requestPath, size_t entry,
                                                   std::vector<char>& buffer, DWORD* sendError)
{
    *sendError = ERROR_SUCCESS;
    const std::string local = m_strInstallDir + RelativePathOf(requestPath);
    const std::string temp = TempPathFor(local);

    const bool underPrefix = requestPath.compare(0, m_strPrefix.size(), m_strPrefix) == 0;
    const std::string object = underPrefix ? RequestObject(m_strPrefix, requestPath.substr(m_strPrefix.size()))
                                           : RequestObject(std::string(), requestPath);
    unique_hinternet request(OpenRequest(object));
    const Fetch sent = SendRequest(request.get(), sendError);
    if (sent != Fetch::Ok) {
        // A temporary file left by an earlier run that was killed mid-download goes all the same (a
        // download that starts writes over it).
        m_script.DiscardDownload(temp);
        return sent == Fetch::SendFailed ? CDownloadQueue::Result::SendFailed : CDownloadQueue::Result::Failed;
    }

    CreateFolderPath(local.c_str());
    unique_file file = m_script.BeginDownload(temp);
    if (!file)
        return CDownloadQueue::Result::Failed;
    const int streamed = StreamToTemp(request.get(), file.get(), entry, buffer);
    file.reset();
    request.reset();
    if (!streamed) {
        m_script.DiscardDownload(temp);
        return CDownloadQueue::Result::Failed;
    }
    return CDownloadQueue::Result::Ok;
}

int CInstallEngine::StreamToTemp(HINTERNET request, HANDLE file, size_t entry, std::vector<char>& buffer)
{
    CDownloadDigest digest(m_verifier, entry);
    const bool whole = ReadBody(request, LLONG_MAX, buffer, [&](const char* bytes, DWORD size) {
        if (m_host.QuitRequest() == 2)
            return false;   // abandoned: a stopped install places nothing more
        DWORD written = 0;
        if (!::WriteFile(file, bytes, size, &written, nullptr) || written != size)
            return false;
        digest.Feed(bytes, size);
        return true;
    });
    return whole && digest.Matches();
}

CInstallEngine::Call CInstallEngine::PlaceFile(const std::string& temp, const std::string& target)
{
    if (IsUnreplaceable(target)) {
        m_script.DiscardDownload(temp);
        return Call::Lasting;
    }
    for (int attempt = 0; attempt < kPlaceAttempts; ++attempt) {
        if (attempt > 0)
            ::Sleep(kPlaceRetryMs);
        DWORD error = 0;
        switch (m_script.PlaceDownload(temp, target, &error)) {
        case UninstallScript::PlaceResult::Placed:
            return Call::Placed;
        case UninstallScript::PlaceResult::Abandoned:
            m_script.DiscardDownload(temp);
            return Call::Failed;
        case UninstallScript::PlaceResult::Failed:
            if (!IsTransientLock(error)) {
                m_script.DiscardDownload(temp);
                return Call::Lasting;
            }
            break;
        }
    }
    m_script.DiscardDownload(temp);
    return Call::Failed;
}
