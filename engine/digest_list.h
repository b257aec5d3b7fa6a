// list.sha256: the SHA-256 of every fetched manifest line's file, and its binding to list.txt's lines.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/list_entry.h"

using Sha256Digest = std::array<unsigned char, 32>;

struct DigestLine {
    Sha256Digest digest{};
    std::string strText;   // the manifest line it belongs to, byte for byte
};

// One line per fetched manifest line, in manifest order: 64 lowercase hex digits, two spaces, the line's
// text. Lines end at LF and every CR is dropped, as list.txt is read, so both files' lines compare alike.
class DigestList {
public:
    // Reads the whole of list.sha256; false (and an empty list) when any line breaks the form.
    bool Read(const char* data, size_t size);

    // Ties the digest lines to the manifest: fetched holds the indexes into entries of the lines the walk
    // will fetch, ascending. True when their texts are exactly the digest lines' texts, in the same order.
    bool Bind(const std::vector<ListEntry>& entries, const std::vector<size_t>& fetched);

    // The digest the file of entries[index] must have; null when Bind gave that entry none.
    const Sha256Digest* DigestOf(size_t index) const;

    size_t size() const { return m_lines.size(); }

private:
    std::vector<DigestLine> m_lines;
    std::vector<size_t> m_entryIndexes;   // after Bind: m_lines[k] belongs to entry m_entryIndexes[k]
};

// 64 lowercase hex digits into 32 bytes; false for anything else (upper case included).
bool ParseLowerHexDigest(const char* text, size_t size, Sha256Digest& digest);
