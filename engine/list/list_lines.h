// Read access to a manifest's lines, whether held as ListEntry records or packed in one block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/list/list_entry.h"

// The one reading of a line of list.txt and list.sha256: a line ends at LF, every CR is dropped wherever it
// stands, and what follows the last LF is a line only when it holds something. Bytes may come in pieces of any
// size; onLine(std::string& line) takes each line (it may take the text over) and returns false to stop.
class LineReader {
public:
    template <class OnLine>
    bool Feed(const char* data, size_t size, OnLine&& onLine)
    {
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == '\n') {
                if (!EndLine(onLine))
                    return false;
            } else if (data[i] != '\r') {
                m_line.push_back(data[i]);
            }
        }
        return true;
    }
    template <class OnLine>
    bool Finish(OnLine&& onLine)
    {
        return m_line.empty() || EndLine(onLine);
    }

private:
    template <class OnLine>
    bool EndLine(OnLine& onLine)
    {
        const bool goOn = onLine(m_line);
        m_line.clear();
        return goOn;
    }

    std::string m_line;
};

class ListLines {
public:
    virtual ~ListLines() = default;
    virtual size_t size() const = 0;
    // The text of line i, valid as long as the lines are.
    virtual std::string_view Line(size_t i) const = 0;
};

// The installer's records, which it keeps as they are.
class EntryLines : public ListLines {
public:
    explicit EntryLines(const std::vector<ListEntry>& entries) : m_entries(entries) {}
    size_t size() const override { return m_entries.size(); }
    std::string_view Line(size_t i) const override { return m_entries[i].strText; }

private:
    const std::vector<ListEntry>& m_entries;
};

// list.txt read as LineReader reads it, but in place: kept as its bytes and one offset a line, about the list's
// own size, where a record per line (or a second copy of the text) would cost several times that.
class PackedLines : public ListLines {
public:
    // False when the list is larger than 4 GiB, which the offsets cannot hold, or has more than
    // kMaxManifestLines lines.
    bool Read(const char* data, size_t size);
    // The same for a list already in memory, taken over and read in place.
    bool Adopt(std::string text);
    size_t size() const override { return m_starts.size(); }
    std::string_view Line(size_t i) const override;

private:
    std::string m_text;                  // the lines, each followed by LF (the last one perhaps not)
    std::vector<std::uint32_t> m_starts;
};
