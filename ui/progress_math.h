// The progress display's arithmetic: where the red fill ends and which percentage is written.
#pragma once

#include <string>

constexpr int kTrackLeft = 224;
constexpr int kTrackTop = 209;
constexpr int kTrackRight = 414;
constexpr int kTrackBottom = 221;
// The percentage is written from kPercentLeft on the track's line; the bar and the percentage, the rectangle
// repainted as the walk goes on, end at kProgressRight.
constexpr int kPercentLeft = 415;
constexpr int kProgressRight = 441;

// Right edge (exclusive) of the fill for position `pos` of range 0..`upper`, computed as the painting
// always has: a single-precision scale, a double-precision product, truncation. -1 when the upper
// bound is not above 1e-5 and nothing is filled.
int ProgressFillRight(unsigned upper, unsigned pos);

// "N%" with N = pos / upper * 100 truncated. A range of 0 (an empty manifest: nothing left to do)
// reads "100%".
std::string ProgressPercentText(unsigned upper, unsigned pos);
