// Reading the text values that the HTTP layer hands back: the status code and Content-Length.
#pragma once

// True for a status text of exactly three digits starting with 2. Everything else, "0" (the server
// closed without answering), a redirect or an error page among them, is not a product file.
bool IsSuccessStatus(const char* statusText);

// Decimal value as C's atol reads it: leading blanks skipped, an optional sign, digits up to the first
// other byte; no digits give 0. Values beyond the 64-bit range saturate.
long long ParseDecimalPrefix(const char* text);

// A Content-Length value read as ParseDecimalPrefix reads it; false when the text holds no digits at
// all, so that a header without a number counts as no header (read the body to its end) rather than 0.
bool ParseContentLength(const char* text, long long* length);
