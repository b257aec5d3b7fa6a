// list.sha256's digest lines: the SHA-256 of every file line's file, bound to list.txt's lines.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/list/list_header.h"
#include "engine/list/list_lines.h"

// One line per file line of the manifest, in manifest order: 64 lowercase hex digits, two spaces, the file's
// size (decimal, no leading zero), two spaces, the line's text. Lines end at LF and every CR is dropped, as
// list.txt is read, so both files' lines compare alike. Only the digests and sizes are kept (the texts are
// compared while reading), so the list costs 40 bytes a file.
class DigestList {
public:
    // Reads the digest lines (list.sha256 after its header) and ties them to the manifest: files holds the
    // indexes of the lines the walk fetches, ascending. True when every line has the form and their texts are
    // exactly those lines' texts, in the same order; false leaves the list empty.
    bool Read(const char* data, size_t size, const ListLines& lines, const std::vector<size_t>& files);

    // The digest the file of line index must have; null for a line that has none.
    const Sha256Digest* DigestOf(size_t index) const;
    // The size in bytes the file of line index must have; -1 for a line that has none.
    long long SizeOf(size_t index) const;

    size_t size() const { return m_digests.size(); }

private:
    // The k-th of m_lineIndexes (ascending) is the line whose file has digest m_digests[k] and size m_sizes[k].
    size_t Find(size_t index) const;

    std::vector<Sha256Digest> m_digests;
    std::vector<long long> m_sizes;
    std::vector<size_t> m_lineIndexes;
};
