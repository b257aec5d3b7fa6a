// The install walk: fetch list.txt, then fetch and place every file it names.
#include "engine/install_engine.h"

#include <algorithm>

#include "engine/create_folder_path.h"
#include "engine/http_values.h"
#include "engine/manifest_reader.h"
#include "engine/path_rules.h"
#include "platform/handles.h"
#include "shell/batch_lines.h"
#include "shell/uninstall_script.h"

namespace {

// Wine's WinINet is several times slower with 64 KiB reads than with 1 MiB ones; memory stays flat
// whatever the file's size.
constexpr DWORD kChunkBytes = 1024 * 1024;
constexpr DWORD kManifestReadBytes = 4096;
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

// The announced body length: -1 without a Content-Length header; false for a negative one, which
// no body can meet.
bool AnnouncedLength(HINTERNET request, long long& expected)
{
    std::string lengthText;
    if (!QueryText(request, HTTP_QUERY_CONTENT_LENGTH, lengthText)) {
        expected = -1;
        return true;
    }
    expected = ParseDecimalPrefix(lengthText.c_str());
    return expected >= 0;
}

bool IsTransientLock(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

std::string InternetErrorText(DWORD code)
{
    char text[1024] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    ::GetModuleHandleA("wininet.dll"), code, 0, text, sizeof text, nullptr);
    if (length == 0)
        length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  text, sizeof text, nullptr);
    if (length == 0)
        return std::string();
    return std::string(text, std::min<DWORD>(length, sizeof text - 1));
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
    if (!::HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
        *error = ::GetLastError();
        return Fetch::SendFailed;
    }
    std::string status;
    // "0" is what comes back when the server closed without answering; only 2xx is a body to keep.
    if (!QueryText(request, HTTP_QUERY_STATUS_CODE, status) || !IsSuccessStatus(status.c_str()))
        return Fetch::Refused;
    return Fetch::Ok;
}

int CInstallEngine::InstallFromList(const std::string& strInstallDir)
{
    m_strInstallDir = strInstallDir;
    m_outcome = InstallOutcome{InstallEnd::ManifestRefused, 0};
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
    if (m_verifier.HasKey() && !VerifyList())
        return 0;   // nothing of the product is requested; VerifyList set the outcome
    return InstallListEntries();
}

bool CInstallEngine::ReadManifest(HINTERNET request)
{
    long long expected = -1;
    if (!AnnouncedLength(request, expected))
        return false;

    std::vector<ListEntry> entries;
    ManifestReader reader(entries);
    char buffer[kManifestReadBytes];
    long long total = 0;
    for (;;) {
        DWORD want = kManifestReadBytes;
        if (expected >= 0)
            want = static_cast<DWORD>(std::min<long long>(want, expected - total));
        if (want == 0)
            break;
        DWORD got = 0;
        if (!::InternetReadFile(request, buffer, want, &got))
            return false;   // connection lost mid-manifest: a partial list must not install
        if (got == 0)
            break;
        reader.Feed(buffer, got);
        total += got;
    }
    if (expected >= 0 && total < expected)
        return false;
    reader.Finish();
    m_listEntries.insert(m_listEntries.end(), entries.begin(), entries.end());
    return true;
}

int CInstallEngine::InstallListEntries()
{
    const int n = static_cast<int>(m_listEntries.size());
    m_host.SetProgressRange(n);
    const std::string prefix = RequestPrefix(m_settings.strObject);

    m_outcome = InstallOutcome{InstallEnd::Stopped, 0};
    for (int i = 0; i < n; ++i) {
        while (m_host.QuitRequest() == 1)
            ::Sleep(kQuitPollMs);
        if (m_host.QuitRequest() == 2)
            return 0;

        const std::string path = prefix + m_listEntries[i].strText;
        if (IsFetchedLine(path)) {
            m_nEntry = static_cast<size_t>(i);
            bool placed = false;
            for (int call = 0; call < kCallsPerFile && !placed && m_host.QuitRequest() != 2; ++call)
                placed = DownloadFile(path) == 1;
            if (!placed)
                ++m_outcome.failedFiles;
        }
        m_host.StepProgress();
    }
    if (m_outcome.failedFiles > 0) {
        m_outcome.end = InstallEnd::FilesFailed;
        return 0;
    }
    m_host.CreateShortcuts();
    m_outcome.end = InstallEnd::Complete;
    return 1;
}

int CInstallEngine::DownloadFile(const std::string& strPath)
{
    const std::string relative = RelativePathOf(strPath);
    if (CheckLocalPath(m_strInstallDir, relative) != PathVerdict::Ok)
        return 0;   // refused without a request: it would land outside the folder or be misread
    const std::string local = m_strInstallDir + relative;
    const std::string temp = TempPathFor(local);
    ::DeleteFileA(temp.c_str());   // left by an earlier run that was killed mid-download

    unique_hinternet request(OpenRequest(strPath));
    DWORD error = 0;
    switch (SendRequest(request.get(), &error)) {
    case Fetch::SendFailed:
        m_host.ReportSendError(InternetErrorText(error));
        return 0;
    case Fetch::Refused:
        return 0;
    case Fetch::Ok:
        break;
    }

    CreateFolderPath(local.c_str());
    unique_file file = m_script.BeginDownload(temp);
    if (!file)
        return 0;
    const int streamed = StreamToTemp(request.get(), file.get());
    file.reset();
    request.reset();
    if (!streamed) {
        m_script.DiscardDownload(temp);
        return 0;
    }
    return PlaceFile(temp, local);
}

int CInstallEngine::StreamToTemp(HINTERNET request, HANDLE file)
{
    long long expected = -1;
    if (!AnnouncedLength(request, expected))
        return 0;

    if (m_buffer.size() < kChunkBytes)
        m_buffer.resize(kChunkBytes);
    CDownloadDigest digest(m_verifier, m_nEntry);
    long long total = 0;
    for (;;) {
        DWORD want = kChunkBytes;
        if (expected >= 0)
            want = static_cast<DWORD>(std::min<long long>(want, expected - total));
        if (want == 0)
            break;
        if (m_host.QuitRequest() == 2)
            return 0;   // abandoned: a stopped install places nothing more
        DWORD got = 0;
        // After a failed read WinINet reports a fake end of data: stop at the first failure.
        if (!::InternetReadFile(request, m_buffer.data(), want, &got))
            return 0;
        if (got == 0)
            break;
        DWORD written = 0;
        if (!::WriteFile(file, m_buffer.data(), got, &written, nullptr) || written != got)
            return 0;
        digest.Feed(m_buffer.data(), got);
        total += got;
    }
    return (expected < 0 || total == expected) && digest.Matches();
}

int CInstallEngine::PlaceFile(const std::string& temp, const std::string& target)
{
    const std::string line = FileDeleteLine(target);
    for (int attempt = 0; attempt < kPlaceAttempts; ++attempt) {
        if (attempt > 0)
            ::Sleep(kPlaceRetryMs);
        DWORD error = 0;
        switch (m_script.PlaceDownload(temp, target, line, &error)) {
        case UninstallScript::PlaceResult::Placed:
            return 1;
        case UninstallScript::PlaceResult::Abandoned:
            m_script.DiscardDownload(temp);
            return 0;
        case UninstallScript::PlaceResult::Failed:
            if (!IsTransientLock(error))
                attempt = kPlaceAttempts;
            break;
        }
    }
    m_script.DiscardDownload(temp);
    return 0;
}
