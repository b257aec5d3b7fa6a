// The product folder as the file list sees it: its regular files, and what is reported and left out.
#pragma once

#include <string>
#include <vector>

#include "publisher/owners.h"

struct ProductFile {
    std::vector<std::string> components;    // its path below the product folder, one UTF-8 name each
};

struct ProductTree {
    std::vector<ProductFile> files;
    std::vector<std::string> links;          // symbolic links (to files or folders): not followed, not listed
    std::vector<std::string> emptyFolders;   // folders with nothing in them: nothing to install
    std::vector<std::string> others;         // sockets, pipes, devices
};

// Everything below root; the list and its two side files in root itself are not product files. False and
// why in error when a folder cannot be read.
bool ReadProductTree(const std::string& root, ProductTree& tree, std::string& error);

// The names the tools write into the product folder (and the temporary names they write them under).
extern const char* const kListFileNames[3];

// Opens the file at components below root for reading, every folder and the file itself with O_NOFOLLOW from
// the one before, so that nothing swapped for a symbolic link since the walk is followed; the one handle the
// file is then hashed and copied from. Empty, and why in error, when a component is a link, the file is not
// a regular file, or it cannot be opened.
unique_fd OpenProductFile(const std::string& root, const std::vector<std::string>& components, std::string& error);
