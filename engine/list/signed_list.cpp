// Whether a signed list.sha256 may be acted on: every check of the publisher's signed metadata, in one place.
#include "engine/list/signed_list.h"

ListVerdict SignedList::AcceptHeader(const std::string& digestFile, const Sha256Digest& listDigest, long long now,
                                     long long minVersion)
{
    *this = SignedList();
    if (!ReadListHeader(digestFile.data(), digestFile.size(), m_header, m_bodyStart))
        return ListVerdict::BadHeader;
    m_bHasHeader = true;
    if (m_header.listDigest != listDigest)
        return ListVerdict::ListChanged;
    if (m_header.version < minVersion)
        return ListVerdict::OldVersion;
    if (m_header.expires <= now)
        return ListVerdict::Expired;
    m_bHeaderAccepted = true;
    return ListVerdict::Ok;
}

ListVerdict SignedList::AcceptLines(const std::string& digestFile, const ListPlan& plan)
{
    if (!m_bHeaderAccepted || m_bodyStart > digestFile.size())
        return ListVerdict::BadHeader;
    if (!m_digests.Read(digestFile.data() + m_bodyStart, digestFile.size() - m_bodyStart, plan.Lines(),
                        plan.FileLines()))
        return ListVerdict::LinesDiffer;
    if (!plan.SameFiles().empty())
        return ListVerdict::SameFile;
    m_accepted = true;
    return ListVerdict::Ok;
}

const char* ListVerdictReason(ListVerdict verdict)
{
    switch (verdict) {
    case ListVerdict::Ok:
        return "ok";
    case ListVerdict::BadSignature:
        return "list.sha256.sig is not a signature of list.sha256 by this key";
    case ListVerdict::BadHeader:
        return "list.sha256 does not start with the header (qelmora-list 2, version, expires, list.txt)";
    case ListVerdict::ListChanged:
        return "list.txt is not the list whose SHA-256 list.sha256 names";
    case ListVerdict::OldVersion:
        return "the list's version is older than the installer takes";
    case ListVerdict::Expired:
        return "the list has expired";
    case ListVerdict::LinesDiffer:
        return "list.sha256 names other lines than the file lines of list.txt, or in another order, or a line "
               "is not 64 lowercase hex digits, two spaces, a size, two spaces and a name";
    case ListVerdict::SameFile:
        return "list.txt names one file twice (spellings Windows takes for the same file)";
    }
    return "refused";
}
