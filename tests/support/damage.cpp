#include "damage.h"

#include <cstring>
#include <ogg/ogg.h>
#include <random>

namespace {

struct page {
    std::size_t start, headerlen, bodylen;
    long long granule;
};

// The pages of a well-formed stream, front to back.
std::vector<page> pages(const oggbytes& ogg)
{
    std::vector<page> all;
    std::size_t at = 0;
    while (at + 27 <= ogg.size() && std::memcmp(&ogg[at], "OggS", 4) == 0) {
        page p = {at, 27u + ogg[at + 26], 0, 0};
        if (at + p.headerlen > ogg.size())
            break;
        for (std::size_t i = 27; i < p.headerlen; i++)
            p.bodylen += ogg[at + i];
        std::memcpy(&p.granule, &ogg[at + 6], 8);    // little-endian, as x86 is
        all.push_back(p);
        at += p.headerlen + p.bodylen;
    }
    return all;
}

}

std::size_t headerbytes(const oggbytes& ogg)
{
    for (const page& p : pages(ogg))
        if (p.granule != 0)
            return p.start;
    return ogg.size();
}

oggbytes truncated(const oggbytes& ogg, std::size_t length)
{
    return oggbytes(ogg.begin(), ogg.begin() + static_cast<long>(std::min(length, ogg.size())));
}

oggbytes flipped(const oggbytes& ogg, unsigned seed, int flips, std::size_t from)
{
    oggbytes out = ogg;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::size_t> place(from, ogg.size() - 1);
    for (int i = 0; i < flips; i++)
        out[place(rng)] ^= static_cast<unsigned char>(1u << (rng() % 8));
    return out;
}

oggbytes corrupted(const oggbytes& ogg, unsigned seed, int flips)
{
    oggbytes out = ogg;
    std::vector<page> audio;
    for (const page& p : pages(ogg))
        if (p.granule != 0 && p.bodylen > 0)
            audio.push_back(p);
    if (audio.empty())
        return out;
    std::mt19937 rng(seed);
    for (int i = 0; i < flips; i++) {
        const page& p = audio[rng() % audio.size()];
        out[p.start + p.headerlen + rng() % p.bodylen] ^= static_cast<unsigned char>(1u << (rng() % 8));
        ogg_page og;
        og.header = &out[p.start];
        og.header_len = static_cast<long>(p.headerlen);
        og.body = &out[p.start + p.headerlen];
        og.body_len = static_cast<long>(p.bodylen);
        ogg_page_checksum_set(&og);
    }
    return out;
}

oggbytes withgarbage(const oggbytes& ogg, unsigned seed, std::size_t length)
{
    oggbytes out = ogg;
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < length; i++)
        out.push_back(static_cast<unsigned char>(rng()));
    return out;
}
