// The one digest type of the list and its files: a SHA-256 as its 32 bytes.
#pragma once

#include <array>

using Sha256Digest = std::array<unsigned char, 32>;
