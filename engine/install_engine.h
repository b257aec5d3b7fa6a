// The install walk: fetch list.txt, then fetch and place every file it names.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "engine/install_host.h"
#include "engine/install_outcome.h"
#include "engine/list_entry.h"
#include "engine/list_verifier.h"

class UninstallScript;

// What the engine borrows from its owner for one run; the connection stays the owner's.
struct InstallSettings {
    HINTERNET hConnection = nullptr;
    DWORD dwRequestFlags = 0x24200012;
    std::string strObject;            // the manifest's object path on the server
    DWORD dwIoTimeoutMs = 30000;      // receive and send time-out of every request
};

class CInstallEngine {
public:
    CInstallEngine(IInstallHost& host, UninstallScript& script) : m_host(host), m_script(script) {}
    CInstallEngine(const CInstallEngine&) = delete;
    CInstallEngine& operator=(const CInstallEngine&) = delete;

    void Configure(const InstallSettings& settings) { m_settings = settings; }

    // Fetches the manifest and walks it. 1 when every line was walked and every listed file is in
    // place (shortcuts are then made through the host), 0 otherwise.
    int InstallFromList(const std::string& strInstallDir);
    int InstallListEntries();
    // Fetches one file by its request path and places it under the install folder: 1 or 0.
    int DownloadFile(const std::string& strPath);

    std::vector<ListEntry> m_listEntries;
    // How the last InstallFromList ended, for the window's unsuccessful look.
    const InstallOutcome& Outcome() const { return m_outcome; }

private:
    enum class Fetch { Ok, SendFailed, Refused };
    HINTERNET OpenRequest(const std::string& object) const;
    Fetch SendRequest(HINTERNET request, DWORD* error) const;
    bool ReadManifest(HINTERNET request);
    int StreamToTemp(HINTERNET request, HANDLE file);
    int PlaceFile(const std::string& temp, const std::string& target);

    // The signed file list (engine/install_verify.cpp), with a key built in: list.sha256 and its
    // signature fetched beside list.txt and checked before any product request.
    bool VerifyList();
    bool ReadSideFile(const char* name, size_t limit, std::string& body);
    std::vector<size_t> FetchedLineIndexes() const;

    IInstallHost& m_host;
    UninstallScript& m_script;
    InstallSettings m_settings;
    std::string m_strInstallDir;
    std::vector<char> m_buffer;
    InstallOutcome m_outcome;
    CListVerifier m_verifier;
    size_t m_nEntry = 0;   // the manifest line being fetched, for its digest
};

// The system's text for a WinINet (or Winsock, or system) error code, at most 1023 bytes; empty
// when the system has none.
std::string InternetErrorText(DWORD code);
