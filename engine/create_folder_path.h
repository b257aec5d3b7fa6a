// Creating the folders that a file path needs.
#pragma once

// Creates every missing folder of pszPath's folder part, outermost first, at '\' and '/' alike, with
// absolute paths (the current directory is not used or changed). pszPath is a code page 936 file path
// or folder path ending in a separator. Stops at the first folder that cannot be made. Returns 1 when it ran
// (whether or not every folder could be made), 0 when pszPath is null.
int CreateFolderPath(const char* pszPath);
