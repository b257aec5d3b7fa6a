// The benchmark's reference: the fastest plain WinINet fetch of a list of files.
//
//   ref_fetch HOST PORT OUT_DIR PATH_LIST_FILE [THREADS]
//
// Same session, connection and request flags as the installer; each body is read with one
// InternetReadFile of its full length and written with one WriteFile. THREADS (default 1) fetch side by
// side, each taking the next path of the list: the floor of what WinINet allows at that many requests at
// once. Prints the failures and the peak working set.
#include <windows.h>
#include <wininet.h>
#include <psapi.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/install_engine.h"
#include "platform/handles.h"

namespace {
struct Fetcher {
    HINTERNET connection;
    std::string outDir;
    const std::vector<std::string>* paths;
    std::atomic<size_t> next{0};
    std::atomic<int> failures{0};

    static unsigned __stdcall Main(void* self)
    {
        static_cast<Fetcher*>(self)->Run();
        return 0;
    }

    void Run()
    {
        std::vector<char> body;
        for (size_t i = next++; i < paths->size(); i = next++) {
            const std::string& path = (*paths)[i];
            DWORD length = 0, got = 0;
            {
                unique_hinternet request(::HttpOpenRequestA(connection, "GET", path.c_str(), "HTTP/1.0", nullptr,
                                                            nullptr, kRequestFlags, 1));
                if (!request || !::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) {
                    ++failures;
                    continue;
                }
                char lengthText[32] = {};
                DWORD size = sizeof lengthText;
                ::HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH, lengthText, &size, nullptr);
                length = static_cast<DWORD>(std::strtoul(lengthText, nullptr, 10));
                body.resize(length ? length : 1);
                ::InternetReadFile(request.get(), body.data(), length, &got);
            }
            // Flat: the files' names are unique across the list's folders.
            std::string local = outDir + "\\" + path.substr(path.rfind('/') + 1);
            unique_file file(::CreateFileA(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            ::WriteFile(file.get(), body.data(), got, &written, nullptr);
            if (got != length)
                ++failures;
        }
    }
};
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5)
        return 2;
    unique_hinternet session(::InternetOpenA("ref_fetch", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    const int threads = argc > 5 ? std::max(1, std::atoi(argv[5])) : 1;
    // As the installer does, so that each thread can keep a connection of its own.
    DWORD perServer = static_cast<DWORD>(threads);
    ::InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &perServer, sizeof perServer);
    ::InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &perServer, sizeof perServer);
    unique_hinternet connection(::InternetConnectA(session.get(), argv[1],
                                                   static_cast<INTERNET_PORT>(std::atoi(argv[2])), nullptr, nullptr,
                                                   INTERNET_SERVICE_HTTP, 0, 1));
    std::vector<std::string> paths;
    std::ifstream list(argv[4]);
    for (std::string path; std::getline(list, path);)
        if (!path.empty())
            paths.push_back(path);
    Fetcher fetcher;
    fetcher.connection = connection.get();
    fetcher.outDir = argv[3];
    fetcher.paths = &paths;
    std::vector<unique_kernel_handle> running;
    for (int i = 1; i < threads; ++i) {
        const uintptr_t thread = ::_beginthreadex(nullptr, 0, &Fetcher::Main, &fetcher, 0, nullptr);
        if (thread != 0)
            running.emplace_back(reinterpret_cast<HANDLE>(thread));
    }
    fetcher.Run();
    for (const unique_kernel_handle& thread : running)
        ::WaitForSingleObject(thread.get(), INFINITE);
    const int failures = fetcher.failures;
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    std::printf("failures %d\npeak_working_set_kib %lu\n", failures,
                static_cast<unsigned long>(counters.PeakWorkingSetSize / 1024));
    return 0;
}
