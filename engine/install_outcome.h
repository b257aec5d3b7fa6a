// How an install run ended: what the window tells the user after the walk.
#pragma once

enum class InstallEnd {
    Complete,          // every line walked, every listed file in place
    ServerLost,        // the server could not be reached, or went away during the walk
    FilesFailed,       // some files failed or were refused; failedFiles says how many
    Stopped,           // the user stopped the install
    ManifestRefused,   // list.txt was answered with an error, cut short or too large
    NotVerified,       // the file list did not verify; nothing was fetched
    ListExpired,       // the signed file list is past its expiry (or the system clock is wrong); nothing was fetched
    LocalWriteFailed,  // the install folder could not be written (unload.bat could not be created); nothing was fetched
};

struct InstallOutcome {
    InstallEnd end = InstallEnd::Stopped;
    int failedFiles = 0;
};
