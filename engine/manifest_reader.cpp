// Turns the bytes of list.txt into ListEntry records, one per line.
#include "engine/manifest_reader.h"

#include "engine/list_files.h"

bool ManifestReader::Feed(const char* data, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n') {
            if (!EndLine())
                return false;
        } else if (c != '\r') {
            m_line.push_back(c);
        }
    }
    return true;
}

bool ManifestReader::Finish()
{
    // What follows the last LF is a line only when it holds something.
    return m_line.empty() || EndLine();
}

bool ManifestReader::EndLine()
{
    if (m_entries.size() >= kMaxManifestLines)
        return false;
    ListEntry entry;
    entry.nLine = static_cast<int>(m_entries.size());
    entry.strText.swap(m_line);
    m_entries.push_back(std::move(entry));
    m_line.clear();
    return true;
}
