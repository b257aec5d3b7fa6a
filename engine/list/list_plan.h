// The one reading of a manifest: what each line asks for, whether it is refused and why, and where it goes.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "engine/list/list_lines.h"
#include "engine/list/path_rules.h"

enum class LineKind : unsigned char {
    File,      // fetched and placed
    Folder,    // created under the install folder, not fetched
    Skipped,   // no '.' in its request path: not fetched (it still counts for progress)
};

struct LinePlan {
    LineKind kind = LineKind::Skipped;
    PathVerdict verdict = PathVerdict::Ok;   // for files and folders: Ok, or why the line is refused
    bool Refused() const { return verdict != PathVerdict::Ok; }
};

// How a line is read:
// - A line whose local path could not fit 259 bytes below any folder is refused (TooLong) before anything
//   else, so that no line costs more than its own length: a 64 MiB list classifies in about a second.
// - A line is a folder when it ends in '\' or '/', or when another line starts with it followed by a
//   separator ("plugins.d" beside "plugins.d\a.dll", as listing tools write them). Every other line is a file
//   when its request path, prefix + text, has a '.' after its first character, and skipped otherwise.
// - A file or folder is refused when the path rules refuse it below the install folder, or when it is, or
//   lies in, one of the installer's own files at the install folder's root (kReservedRootNames, any case).
// A line's kind depends on the lines alone, never on the install folder.
// The walk follows the plan; the publisher's tools print it. The lines must outlive the plan.
class ListPlan {
public:
    ListPlan(const ListLines& lines, std::string prefix, std::string installDir);

    size_t size() const { return m_plans.size(); }
    const ListLines& Lines() const { return m_lines; }
    const LinePlan& operator[](size_t i) const { return m_plans[i]; }

    // prefix + line: what the walk asks the server for (RequestObject escapes it on the way).
    std::string RequestPath(size_t i) const;
    // Where line i lands: a file at its request path less the first folder, below the install folder; a
    // folder at the install folder + the line, ending in a separator.
    std::string LocalPath(size_t i) const;
    // The local path's bytes as the 259-byte limit counts them (a folder's final separators not counted).
    size_t LocalBytes(size_t i) const;

    // The file lines, refused or not, in order: the lines list.sha256 names.
    std::vector<size_t> FileLines() const;
    // The file lines that are not refused, in order: the files the walk and the checker fetch.
    std::vector<size_t> FetchLines() const;

    // Lines that name one file twice as Windows sees it (the same-file key): a file listed twice, in the
    // same or another spelling, or a file whose name is another line's folder. For each, (earlier, later).
    // Refused lines take no part.
    std::vector<std::pair<size_t, size_t>> SameFiles() const;

private:
    std::string FileKey(size_t i) const;

    const ListLines& m_lines;
    std::string m_prefix;
    std::string m_installDir;
    std::vector<LinePlan> m_plans;
};
