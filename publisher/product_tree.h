// The product folder as the file list sees it: its regular files, and what is reported and left out.
#pragma once

#include <string>
#include <vector>

struct ProductFile {
    std::string strDiskPath;                 // the file on this machine
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
