// The benchmark's reference: the fastest plain WinINet fetch of a list of files.
//
//   ref_fetch HOST PORT OUT_DIR PATH_LIST_FILE
//
// Same session, connection and request flags as the installer; each body is read with one
// InternetReadFile of its full length and written with one WriteFile. Prints the peak working set.
#include <windows.h>
#include <wininet.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/install_engine.h"

int main(int argc, char** argv)
{
    if (argc < 5)
        return 2;
    HINTERNET session = ::InternetOpenA("ref_fetch", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = ::InternetConnectA(session, argv[1], static_cast<INTERNET_PORT>(std::atoi(argv[2])),
                                              nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1);
    const std::string outDir = argv[3];
    std::ifstream list(argv[4]);
    std::string path;
    int failures = 0;
    std::vector<char> body;
    while (std::getline(list, path)) {
        if (path.empty())
            continue;
        HINTERNET request = ::HttpOpenRequestA(connection, "GET", path.c_str(), "HTTP/1.0", nullptr, nullptr,
                                               kRequestFlags, 1);
        if (!request || !::HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
            ++failures;
            if (request)
                ::InternetCloseHandle(request);
            continue;
        }
        char lengthText[32] = {};
        DWORD size = sizeof lengthText;
        ::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, lengthText, &size, nullptr);
        const DWORD length = static_cast<DWORD>(std::strtoul(lengthText, nullptr, 10));
        body.resize(length ? length : 1);
        DWORD got = 0;
        ::InternetReadFile(request, body.data(), length, &got);
        ::InternetCloseHandle(request);
        std::string local = outDir + "\\" + path.substr(path.rfind('/') + 1);
        HANDLE file = ::CreateFileA(local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
        DWORD written = 0;
        ::WriteFile(file, body.data(), got, &written, nullptr);
        ::CloseHandle(file);
        if (got != length)
            ++failures;
    }
    ::InternetCloseHandle(connection);
    ::InternetCloseHandle(session);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    std::printf("failures %d\npeak_working_set_kib %lu\n", failures,
                static_cast<unsigned long>(counters.PeakWorkingSetSize / 1024));
    return 0;
}
