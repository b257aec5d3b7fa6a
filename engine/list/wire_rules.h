// The installer's wire rules, which qelmora-check follows too: what it sends, how long it waits, which answer it keeps.
#pragma once

// The installer's wire rules, which qelmora-check follows too: the user agent (the program's own name), the
// connect time-out and its tries, and the receive and send time-out of a build that names none
// (QELMORA_IO_TIMEOUT_MS).
inline constexpr char kUserAgent[] = "QelmoraSetup";
inline constexpr unsigned long kConnectTimeoutMs = 500;
inline constexpr unsigned long kConnectTries = 5;
inline constexpr unsigned long kDefaultIoTimeoutMs = 30000;

// True for a status text of exactly three digits starting with 2. Everything else, "0" (the server
// closed without answering), a redirect or an error page among them, is not a product file.
bool IsSuccessStatus(const char* statusText);

// The one answer to a plain GET (no Range asked) whose body is the whole file: a success status other than
// 206, whose body is a part only. The installer and qelmora-check keep a body on this alone.
bool IsWholeBodyStatus(const char* statusText);
