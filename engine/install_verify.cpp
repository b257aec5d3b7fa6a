// The install walk's check of the signed file list: list.sha256 and its signature, fetched beside list.txt.
#include "engine/install_engine.h"

#include "engine/list_files.h"

namespace {

constexpr DWORD kSideReadBytes = 64 * 1024;

}  // namespace

bool CInstallEngine::VerifyList()
{
    m_outcome = InstallOutcome{InstallEnd::NotVerified, 0};
    std::string list;
    std::string signature;
    if (!ReadSideFile(kDigestListName, kDigestListLimit, list) || !ReadSideFile(kSignatureName, kSignatureLimit, signature))
        return false;
    switch (m_verifier.Verify(list, signature, *m_plan)) {
    case ListVerdict::Ok:
        return true;
    case ListVerdict::Expired:
        // Its own text: the user can tell a list out of date from a wrong system date.
        m_outcome.end = InstallEnd::ListExpired;
        return false;
    default:
        return false;
    }
}

// The side file's whole body, 2xx only, at most limit bytes and never cut short.
bool CInstallEngine::ReadSideFile(const char* name, size_t limit, std::string& body)
{
    unique_hinternet request(OpenRequest(m_strPrefix + name));
    DWORD error = 0;
    switch (SendRequest(request.get(), &error)) {
    case Fetch::SendFailed:
        m_outcome.end = InstallEnd::ServerLost;
        return false;
    case Fetch::Refused:
        return false;
    case Fetch::Ok:
        break;
    }
    body.clear();
    std::vector<char> buffer(kSideReadBytes);
    return ReadBody(request.get(), static_cast<long long>(limit), buffer, [&body](const char* bytes, DWORD size) {
        body.append(bytes, size);
        return true;
    });
}
