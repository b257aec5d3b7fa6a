// The install walk's check of the signed file list: list.sha256 and its signature, fetched beside list.txt.
#include "engine/install_engine.h"

#include "engine/list/list_files.h"

namespace {

constexpr DWORD kSideReadBytes = 64 * 1024;

}  // namespace

bool CInstallEngine::VerifyListBytes()
{
    m_outcome = InstallOutcome{InstallEnd::NotVerified, 0};
    std::string signature;
    if (!ReadSideFile(kDigestListName, kDigestListLimit, m_digestFile) ||
        !ReadSideFile(kSignatureName, kSignatureLimit, signature))
        return false;
    return Verified(m_verifier.VerifyBytes(m_digestFile, signature));
}

bool CInstallEngine::VerifyListLines()
{
    const bool verified = Verified(m_verifier.VerifyLines(m_digestFile, *m_plan));
    std::string().swap(m_digestFile);   // the digests are kept by the verifier
    return verified;
}

bool CInstallEngine::Verified(ListVerdict verdict)
{
    switch (verdict) {
    case ListVerdict::Ok:
        return true;
    case ListVerdict::Expired:
        // Its own text: the user can tell a list out of date from a wrong system date.
        m_outcome.end = InstallEnd::ListExpired;
        return false;
    default:
        m_outcome.end = InstallEnd::NotVerified;
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
