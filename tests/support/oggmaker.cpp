#include "oggmaker.h"

#include <cmath>
#include <cstdio>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

static void flushpages(ogg_stream_state& os, std::vector<unsigned char>& out, bool force)
{
    ogg_page page;
    while (force ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    }
}

std::vector<unsigned char> makeogg(double seconds, int rate, int channels, int serial)
{
    vorbis_info vi;
    vorbis_info_init(&vi);
    vorbis_encode_init_vbr(&vi, channels, rate, 0.1f);
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);

    std::vector<unsigned char> out;
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    flushpages(os, out, true);

    long frames = std::lround(seconds * rate);
    const long chunk = 1024;
    for (long done = 0;; done += chunk) {
        // A write of 0 frames marks the end of the stream.
        long n = std::max(0L, std::min(chunk, frames - done));
        float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(chunk));
        for (long i = 0; i < n; i++)
            for (int c = 0; c < channels; c++)
                buffer[c][i] = 0.3f * std::sin(2 * M_PI * (440 + 110 * c) * (done + i) / rate);
        vorbis_analysis_wrote(&vd, static_cast<int>(n));
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                flushpages(os, out, false);
            }
        }
        if (n == 0)
            break;
    }
    flushpages(os, out, true);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

void writefile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    // An empty vector's data() may be null, and fwrite's buffer must not
    // be, even for no bytes.
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

long decodedbytes(const std::string& path)
{
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0)
        return -1;
    long total = 0;
    char buffer[4096];
    int section;
    long n;
    while ((n = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section)) != 0)
        if (n > 0)
            total += n;
    ov_clear(&vf);
    return total;
}
