// Turns the bytes of list.txt into ListEntry records, one per line.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/list/list_entry.h"
#include "engine/list/list_lines.h"

// Lines as LineReader reads them: LF and CR LF files read alike. Bytes may arrive in pieces of any size;
// Finish() takes the last line when it has no LF.
class ManifestReader {
public:
    explicit ManifestReader(std::vector<ListEntry>& entries) : m_entries(entries) {}

    // False once the list holds more than kMaxManifestLines lines: it is then no manifest.
    bool Feed(const char* data, size_t size);
    bool Finish();

private:
    bool Take(std::string& line);

    std::vector<ListEntry>& m_entries;
    LineReader m_reader;
};
