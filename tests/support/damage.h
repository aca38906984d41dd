// Damaged copies of a soundtrack, for the tests that feed them to the
// music thread and to the real binary. Every random choice is seeded.
#pragma once

#include <cstddef>
#include <vector>

using oggbytes = std::vector<unsigned char>;

// Where the first audio page starts: the pages before it hold only the
// three header packets (their granule position is 0).
std::size_t headerbytes(const oggbytes& ogg);

// The first `length` bytes.
oggbytes truncated(const oggbytes& ogg, std::size_t length);

// `flips` single bits flipped at seeded places at or after `from`. Page
// checksums are left as they are, so the pages hit are dropped whole.
oggbytes flipped(const oggbytes& ogg, unsigned seed, int flips, std::size_t from);

// `flips` bits flipped inside the bodies of seeded audio pages, whose
// checksums are then made right again: the damaged packets get past the
// page layer and reach the decoder.
oggbytes corrupted(const oggbytes& ogg, unsigned seed, int flips);

// `length` seeded random bytes appended.
oggbytes withgarbage(const oggbytes& ogg, unsigned seed, std::size_t length);
