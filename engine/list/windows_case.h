// Upper case as Windows' file systems compare names, for every character code page 936 can hold.
#pragma once

// NTFS compares names through its upcase table: two names are one file when their characters upcase alike.
// The table's rule for the letters of GBK: ASCII, Latin-1 and the pinyin letters, Greek, Cyrillic, the small
// Roman numerals, circled Latin letters and the full-width forms. Every other character stands for itself
// (a Chinese character has no case). Characters outside GBK are not all covered: names never hold them.
char16_t UpcaseAsWindows(char16_t c);
