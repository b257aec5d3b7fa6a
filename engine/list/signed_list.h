// Whether a signed list.sha256 may be acted on: every check of the publisher's signed metadata, in one place.
#pragma once

#include <cstddef>
#include <string>

#include "engine/list/digest_list.h"
#include "engine/list/list_header.h"
#include "engine/list/list_plan.h"

enum class ListVerdict {
    Ok,
    BadSignature,  // no signature by the key over list.sha256's bytes (checked by the caller, not here)
    BadHeader,     // the first four lines are not the header
    ListChanged,   // list.txt's bytes are not the ones the header names
    OldVersion,    // older than the oldest list this installer takes
    Expired,       // the list's time is up (or the system clock is wrong)
    LinesDiffer,   // the digest lines are not the list's file lines, in order, in form
    SameFile,      // the list names one file twice, in spellings Windows takes for the same file
};

// Reads list.sha256 once its signature is known to hold, and answers for it. The installer and qelmora-check
// ask the same questions here and act on the one answer: anything but Ok fetches nothing of the product.
// The answer comes in two steps, so that no line of list.txt is classified before its bytes are trusted.
class SignedList {
public:
    // First, on the bytes alone: digestFile is list.sha256's bytes, listDigest the SHA-256 of list.txt's bytes
    // as received, now the system clock in seconds since 1970 (UTC). The header's form, the list it names,
    // its version and expiry.
    ListVerdict AcceptHeader(const std::string& digestFile, const Sha256Digest& listDigest, long long now,
                             long long minVersion);
    // Then, once AcceptHeader said Ok and list.txt's lines are planned: the digest lines of the same
    // digestFile against the plan's file lines, in order, and no file named twice. BadHeader before.
    ListVerdict AcceptLines(const std::string& digestFile, const ListPlan& plan);

    // The header, once one was read (also when a later check failed).
    bool HasHeader() const { return m_bHasHeader; }
    const ListHeader& Header() const { return m_header; }
    // After Ok: the digest a file line's file must have; null for other lines and before.
    const Sha256Digest* DigestOf(size_t line) const { return m_accepted ? m_digests.DigestOf(line) : nullptr; }
    // After Ok: the size in bytes it must have; -1 for other lines and before.
    long long SizeOf(size_t line) const { return m_accepted ? m_digests.SizeOf(line) : -1; }
    size_t Files() const { return m_digests.size(); }

private:
    bool m_bHasHeader = false;
    bool m_bHeaderAccepted = false;
    size_t m_bodyStart = 0;
    bool m_accepted = false;
    ListHeader m_header;
    DigestList m_digests;
};

// A short English reason, for the tools' reports.
const char* ListVerdictReason(ListVerdict verdict);
