// The install walk's check of the signed file list: list.sha256 and its signature, fetched beside list.txt.
#include "engine/install_engine.h"

#include "engine/line_kinds.h"
#include "engine/path_rules.h"

namespace {

const char kDigestListName[] = "list.sha256";
const char kSignatureName[] = "list.sha256.sig";
// 64 hex digits, two spaces and a line for every file: far below this for any real product.
constexpr size_t kDigestListLimit = 64 * 1024 * 1024;
// A DER ECDSA P-256 signature holds at most 72 bytes.
constexpr size_t kSignatureLimit = 256;
constexpr DWORD kSideReadBytes = 64 * 1024;

}  // namespace

bool CInstallEngine::VerifyList()
{
    m_outcome = InstallOutcome{InstallEnd::NotVerified, 0};
    std::string list;
    std::string signature;
    if (!ReadSideFile(kDigestListName, kDigestListLimit, list) ||
        !ReadSideFile(kSignatureName, kSignatureLimit, signature))
        return false;
    return m_verifier.Verify(list, signature, m_listEntries, FetchedLineIndexes());
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

// The lines the walk fetches, by the walk's own rule (no folder lines, no lines without a '.');
// list.sha256 names exactly these.
std::vector<size_t> CInstallEngine::FetchedLineIndexes() const
{
    std::vector<size_t> fetched;
    for (size_t i = 0; i < m_lineKinds.size(); ++i)
        if (m_lineKinds[i] == LineKind::File)
            fetched.push_back(i);
    return fetched;
}
