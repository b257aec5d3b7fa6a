// Runs the install engine without a window, for the Wine tests and the benchmark.
//
//   engine_cli URL INSTALL_DIR [--timeout MS] [--stop-after N] [--pause-after N --pause-ms MS]
//              [--throw-at-step N] [--sealed-before-start 1] [--parallel N] [--pause-file PATH]
//
// --pause-file pauses the install for as long as that file exists, so that a test can pause it at a
// moment it sees on its server.
// --throw-at-step makes the host throw std::bad_alloc from step N, as an allocation failure anywhere
// in the walk would; --sealed-before-start ends the script before the run opens it, as the window's
// thread does for a worker that never got going.
// Prints what the engine asked of its host, one line each ("range N", "step I", "error TEXT",
// "shortcuts"), then "result R", "outcome END FAILED_FILES" and "peak_working_set_kib K". unload.bat is written into
// INSTALL_DIR as the installer's worker writes it.
#include <windows.h>
#include <wininet.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "engine/install_engine.h"
#include "engine/list/list_files.h"
#include "platform/wide_names.h"
#include "shell/uninstall_script.h"

namespace {

class ConsoleHost : public IInstallHost {
public:
    int stopAfter = -1;
    int pauseAfter = -1;
    int throwAt = -1;
    DWORD pauseMs = 0;
    std::string pauseFile;

    int QuitRequest() const override
    {
        if (m_quit.load() == kQuitStop)
            return kQuitStop;
        if (m_pauseUntil != 0 && ::GetTickCount() < m_pauseUntil)
            return kQuitPause;
        if (!pauseFile.empty() && ::GetFileAttributesA(pauseFile.c_str()) != INVALID_FILE_ATTRIBUTES)
            return kQuitPause;
        return m_quit.load();
    }
    void SetProgressRange(int lines) override { std::printf("range %d\n", lines); }
    void StepProgress() override
    {
        ++m_steps;
        std::printf("step %d\n", m_steps);
        std::fflush(stdout);
        if (m_steps == throwAt)
            throw std::bad_alloc();
        if (m_steps == stopAfter)
            m_quit = kQuitStop;
        if (m_steps == pauseAfter) {
            m_pauseUntil = ::GetTickCount() + pauseMs;
            std::printf("pause %lu\n", static_cast<unsigned long>(pauseMs));
        }
    }
    void ReportSendError(const std::wstring& text) override
    {
        // In code page 936, as the tests read this program's output.
        std::string oneLine;
        Cp936FromWide(text, oneLine);
        for (char& c : oneLine)
            if (c == '\r' || c == '\n')
                c = ' ';
        std::printf("error %s\n", oneLine.c_str());
    }
    void CreateShortcuts() override { std::printf("shortcuts\n"); }

private:
    std::atomic<int> m_quit{kQuitGoOn};
    int m_steps = 0;
    DWORD m_pauseUntil = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: engine_cli URL INSTALL_DIR [options]\n");
        return 2;
    }
    const char* url = argv[1];
    std::string installDir = argv[2];
    ConsoleHost host;
    DWORD timeoutMs = 5000;
    bool sealedBeforeStart = false;
    int parallel = 8;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const long value = std::strtol(argv[i + 1], nullptr, 10);
        if (option == "--timeout")
            timeoutMs = static_cast<DWORD>(value);
        else if (option == "--stop-after")
            host.stopAfter = static_cast<int>(value);
        else if (option == "--pause-after")
            host.pauseAfter = static_cast<int>(value);
        else if (option == "--pause-ms")
            host.pauseMs = static_cast<DWORD>(value);
        else if (option == "--throw-at-step")
            host.throwAt = static_cast<int>(value);
        else if (option == "--parallel")
            parallel = static_cast<int>(value);
        else if (option == "--pause-file")
            host.pauseFile = argv[i + 1];
        else if (option == "--sealed-before-start")
            sealedBeforeStart = value != 0;
    }

    char hostName[256] = {};
    char path[2048] = {};
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = hostName;
    parts.dwHostNameLength = sizeof hostName;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    if (!::InternetCrackUrlA(url, 0, 0, &parts)) {
        std::fprintf(stderr, "bad url\n");
        return 2;
    }

    unique_hinternet session(::InternetOpenA("engine_cli", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    DWORD value = 500;
    ::InternetSetOptionExA(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof value, 0);
    value = 5;
    ::InternetSetOptionExA(session.get(), INTERNET_OPTION_CONNECT_RETRIES, &value, sizeof value, 0);
    unique_hinternet connection(::InternetConnectA(session.get(), hostName, parts.nPort, nullptr, nullptr,
                                                   INTERNET_SERVICE_HTTP, 0, 1));
    ::InternetSetOptionA(connection.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeoutMs, sizeof timeoutMs);
    ::InternetSetOptionA(connection.get(), INTERNET_OPTION_SEND_TIMEOUT, &timeoutMs, sizeof timeoutMs);

    UninstallScript script;
    CInstallEngine engine(host, script);
    InstallSettings settings;
    settings.hConnection = connection.get();
    settings.strObject = path;
    settings.dwIoTimeoutMs = timeoutMs;
    settings.nParallel = parallel;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS)
        settings.dwRequestFlags |= INTERNET_FLAG_SECURE;
    engine.Configure(settings);

    if (sealedBeforeStart)
        script.Seal();
    const int result = engine.RunInstall(installDir, InstallFolderFile(installDir, kUninstallScriptName));

    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    static const char* const kEnds[] = {"complete", "server-lost", "files-failed", "stopped", "manifest-refused",
                                        "not-verified", "list-expired", "cannot-write", "disk-full"};
    std::printf("result %d\n", result);
    std::printf("outcome %s %d\n", kEnds[static_cast<int>(engine.Outcome().end)], engine.Outcome().failedFiles);
    std::printf("entries %u\n", static_cast<unsigned>(engine.m_listEntries.size()));
    std::printf("peak_working_set_kib %lu\n", static_cast<unsigned long>(counters.PeakWorkingSetSize / 1024));
    return 0;
}
