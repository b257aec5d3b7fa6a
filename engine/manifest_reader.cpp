// Turns the bytes of list.txt into ListEntry records, one per line.
#include "engine/manifest_reader.h"

void ManifestReader::Feed(const char* data, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n')
            EndLine();
        else if (c != '\r')
            m_line.push_back(c);
    }
}

void ManifestReader::Finish()
{
    // What follows the last LF is a line only when it holds something.
    if (!m_line.empty())
        EndLine();
}

void ManifestReader::EndLine()
{
    ListEntry entry;
    entry.nLine = static_cast<int>(m_entries.size());
    entry.strText.swap(m_line);
    m_entries.push_back(std::move(entry));
    m_line.clear();
}
