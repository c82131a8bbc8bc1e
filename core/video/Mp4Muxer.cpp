#include "core/video/Mp4Muxer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kMovieTimescale = 1000;
constexpr uint32_t kVideoTimescale = 90000;

// Big-endian box writer.
class Boxes {
public:
    explicit Boxes(std::vector<uint8_t>& out) : m_out(out) {}
    void U8(uint32_t v) { m_out.push_back(uint8_t(v)); }
    void U16(uint32_t v) { U8(v >> 8); U8(v); }
    void U24(uint32_t v) { U8(v >> 16); U16(v); }
    void U32(uint32_t v) { U16(v >> 16); U16(v); }
    void U64(uint64_t v) { U32(uint32_t(v >> 32)); U32(uint32_t(v)); }
    void Tag(const char* fourcc) { m_out.insert(m_out.end(), fourcc, fourcc + 4); }
    void Bytes(const std::vector<uint8_t>& b) { m_out.insert(m_out.end(), b.begin(), b.end()); }
    void Zeros(size_t n) { m_out.insert(m_out.end(), n, 0); }
    size_t Open(const char* fourcc) {
        const size_t at = m_out.size();
        U32(0);
        Tag(fourcc);
        return at;
    }
    size_t OpenFull(const char* fourcc, uint8_t version, uint32_t flags) {
        const size_t at = Open(fourcc);
        U8(version);
        U24(flags);
        return at;
    }
    void Close(size_t at) {
        const uint32_t size = uint32_t(m_out.size() - at);
        m_out[at] = uint8_t(size >> 24);
        m_out[at + 1] = uint8_t(size >> 16);
        m_out[at + 2] = uint8_t(size >> 8);
        m_out[at + 3] = uint8_t(size);
    }
    void Matrix() {
        const uint32_t m[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
        for (uint32_t v : m) U32(v);
    }
    // An MPEG-4 descriptor with a one-byte length (every descriptor here is short).
    size_t OpenDescriptor(uint8_t tag) {
        U8(tag);
        const size_t at = m_out.size();
        U8(0);
        return at;
    }
    void CloseDescriptor(size_t at) { m_out[at] = uint8_t(m_out.size() - at - 1); }

private:
    std::vector<uint8_t>& m_out;
};

uint64_t ToVideoUnits(uint64_t ticks) { return (ticks * 9 + 500) / 1000; }
uint64_t ToMovieUnits(uint64_t ticks) { return (ticks + 5000) / 10000; }
uint32_t Clamp32(uint64_t v) { return uint32_t(std::min<uint64_t>(v, UINT32_MAX)); }

}  // namespace

Mp4Muxer::Mp4Muxer(std::unique_ptr<IMuxOutput> out) : m_out(std::move(out)) {
    m_tracks[1].audio = true;
}

Mp4Muxer::~Mp4Muxer() {
    if (!m_finalized) Finalize();
}

bool Mp4Muxer::Append(const uint8_t* data, size_t size) {
    if (m_failed || !m_out) return false;
    if (!m_out->Write(data, size)) {
        m_failed = true;
        return false;
    }
    m_offset += size;
    return true;
}

bool Mp4Muxer::Begin(uint64_t dataStart) {
    if (m_begun || !m_out) return false;
    m_begun = true;
    std::vector<uint8_t> head;
    Boxes b(head);
    size_t ftyp = b.Open("ftyp");
    b.Tag("isom");
    b.U32(0x200);
    for (const char* brand : {"isom", "iso2", "avc1", "mp41"}) b.Tag(brand);
    b.Close(ftyp);
    m_mdatStart = head.size();
    // media data with a 64-bit size, filled in by Finalize
    b.U32(1);
    b.Tag("mdat");
    b.U64(0);
    if (!Append(head.data(), head.size())) return false;
    if (dataStart > m_offset) {
        if (!m_out->SeekTo(dataStart)) {
            m_failed = true;
            return false;
        }
        m_offset = dataStart;
    }
    return true;
}

int Mp4Muxer::AddVideoTrack(const VideoTrack& track) {
    if (m_tracks[0].present) return -1;
    m_video = track;
    m_tracks[0].present = true;
    m_tracks[0].timescale = kVideoTimescale;
    return 0;
}

int Mp4Muxer::AddAudioTrack(const AudioTrack& track) {
    if (m_tracks[1].present) return -1;
    m_audio = track;
    m_tracks[1].present = true;
    m_tracks[1].timescale = track.sampleRate;
    return 1;
}

void Mp4Muxer::SetVideoParameterSets(const std::vector<uint8_t>& sps, const std::vector<uint8_t>& pps) {
    if (m_video.sps.empty()) m_video.sps = sps;
    if (m_video.pps.empty()) m_video.pps = pps;
}

bool Mp4Muxer::WriteVideoSample(const uint8_t* data, size_t size, uint64_t time, bool keyFrame) {
    Track& track = m_tracks[0];
    if (!m_begun || !track.present || size == 0 || size > UINT32_MAX) return false;
    if (track.samples.empty()) track.startTime = time;
    uint64_t units = ToVideoUnits(time);
    if (!track.samples.empty() && units <= track.samples.back().time) units = track.samples.back().time + 1;
    const uint64_t offset = m_offset;
    if (!Append(data, size)) return false;
    track.samples.push_back({offset, uint32_t(size), units, keyFrame});
    return true;
}

void Mp4Muxer::SetAudioStart(uint64_t time) {
    if (m_tracks[1].samples.empty()) m_tracks[1].startTime = time;
}

bool Mp4Muxer::WriteAudioSample(const uint8_t* data, size_t size) {
    Track& track = m_tracks[1];
    if (!m_begun || !track.present || size == 0 || size > UINT32_MAX) return false;
    const uint64_t offset = m_offset;
    if (!Append(data, size)) return false;
    const uint64_t units = uint64_t(track.samples.size()) * m_audio.frameSamples;
    track.samples.push_back({offset, uint32_t(size), units, true});
    return true;
}

uint64_t Mp4Muxer::TrackDuration(const Track& track) const {
    if (track.samples.empty()) return 0;
    if (track.audio) return uint64_t(track.samples.size()) * m_audio.frameSamples;
    const uint64_t last = kVideoTimescale / std::max<uint32_t>(1, m_video.fps);
    return track.samples.back().time - track.samples.front().time + last;
}

uint64_t Mp4Muxer::PresentedDuration(const Track& track) const {
    const uint64_t media = TrackDuration(track);
    if (!track.audio) return media;
    const uint64_t after = media > m_audio.priming ? media - m_audio.priming : 0;
    return m_audioLength ? std::min(after, m_audioLength) : after;
}

void Mp4Muxer::BuildTrak(std::vector<uint8_t>& out, const Track& track, uint32_t id) const {
    Boxes b(out);
    const uint64_t mediaDuration = TrackDuration(track);
    const uint64_t presentedMs = (PresentedDuration(track) * kMovieTimescale + track.timescale / 2) / track.timescale;
    const uint64_t startMs = ToMovieUnits(track.startTime);
    const uint32_t skipped = track.audio ? m_audio.priming : 0;

    size_t trak = b.Open("trak");
    size_t tkhd = b.OpenFull("tkhd", 0, 3);
    b.U32(0);
    b.U32(0);
    b.U32(id);
    b.U32(0);
    b.U32(Clamp32(startMs + presentedMs));
    b.Zeros(8);
    b.U16(0);
    b.U16(0);
    b.U16(track.audio ? 0x0100 : 0);
    b.U16(0);
    b.Matrix();
    b.U32(track.audio ? 0 : m_video.width << 16);
    b.U32(track.audio ? 0 : m_video.height << 16);
    b.Close(tkhd);

    // A track that begins after the origin starts with an empty edit, so sound and
    // picture keep their distance; the sound's edit skips the encoder's priming.
    if (startMs > 0 || skipped > 0) {
        size_t edts = b.Open("edts");
        size_t elst = b.OpenFull("elst", 0, 0);
        b.U32(startMs > 0 ? 2 : 1);
        if (startMs > 0) {
            b.U32(Clamp32(startMs));
            b.U32(0xFFFFFFFFu);
            b.U32(0x00010000);
        }
        b.U32(Clamp32(presentedMs));
        b.U32(skipped);
        b.U32(0x00010000);
        b.Close(elst);
        b.Close(edts);
    }

    size_t mdia = b.Open("mdia");
    size_t mdhd = b.OpenFull("mdhd", 0, 0);
    b.U32(0);
    b.U32(0);
    b.U32(track.timescale);
    b.U32(Clamp32(mediaDuration));
    b.U16(0x55C4);   // "und"
    b.U16(0);
    b.Close(mdhd);
    size_t hdlr = b.OpenFull("hdlr", 0, 0);
    b.U32(0);
    b.Tag(track.audio ? "soun" : "vide");
    b.Zeros(12);
    const char* name = track.audio ? "SoundHandler" : "VideoHandler";
    out.insert(out.end(), name, name + std::strlen(name) + 1);
    b.Close(hdlr);

    size_t minf = b.Open("minf");
    if (track.audio) {
        size_t smhd = b.OpenFull("smhd", 0, 0);
        b.U32(0);
        b.Close(smhd);
    } else {
        size_t vmhd = b.OpenFull("vmhd", 0, 1);
        b.Zeros(8);
        b.Close(vmhd);
    }
    size_t dinf = b.Open("dinf");
    size_t dref = b.OpenFull("dref", 0, 0);
    b.U32(1);
    size_t url = b.OpenFull("url ", 0, 1);
    b.Close(url);
    b.Close(dref);
    b.Close(dinf);

    size_t stbl = b.Open("stbl");
    size_t stsd = b.OpenFull("stsd", 0, 0);
    b.U32(1);
    if (track.audio) {
        size_t mp4a = b.Open("mp4a");
        b.Zeros(6);
        b.U16(1);
        b.Zeros(8);
        b.U16(m_audio.channels);
        b.U16(16);
        b.U32(0);
        b.U32(m_audio.sampleRate << 16);
        size_t esds = b.OpenFull("esds", 0, 0);
        size_t es = b.OpenDescriptor(0x03);
        b.U16(id);
        b.U8(0);
        size_t dcd = b.OpenDescriptor(0x04);
        b.U8(0x40);   // MPEG-4 audio
        b.U8(0x15);   // audio stream
        b.U24(6144);
        b.U32(m_audio.bitrate);
        b.U32(m_audio.bitrate);
        size_t dsi = b.OpenDescriptor(0x05);
        b.Bytes(m_audio.audioSpecificConfig);
        b.CloseDescriptor(dsi);
        b.CloseDescriptor(dcd);
        size_t sl = b.OpenDescriptor(0x06);
        b.U8(0x02);
        b.CloseDescriptor(sl);
        b.CloseDescriptor(es);
        b.Close(esds);
        b.Close(mp4a);
    } else {
        size_t avc1 = b.Open("avc1");
        b.Zeros(6);
        b.U16(1);
        b.Zeros(16);
        b.U16(m_video.width);
        b.U16(m_video.height);
        b.U32(0x00480000);
        b.U32(0x00480000);
        b.U32(0);
        b.U16(1);
        b.Zeros(32);
        b.U16(0x18);
        b.U16(0xFFFF);
        size_t avcc = b.Open("avcC");
        const std::vector<uint8_t>& sps = m_video.sps;
        b.U8(1);
        b.U8(sps.size() > 1 ? sps[1] : 66);
        b.U8(sps.size() > 2 ? sps[2] : 0);
        b.U8(sps.size() > 3 ? sps[3] : 30);
        b.U8(0xFF);   // 4-byte lengths
        b.U8(0xE0 | (sps.empty() ? 0 : 1));
        if (!sps.empty()) {
            b.U16(uint32_t(sps.size()));
            b.Bytes(sps);
        }
        b.U8(m_video.pps.empty() ? 0 : 1);
        if (!m_video.pps.empty()) {
            b.U16(uint32_t(m_video.pps.size()));
            b.Bytes(m_video.pps);
        }
        b.Close(avcc);
        b.Close(avc1);
    }
    b.Close(stsd);

    // decoding times: run-length coded durations
    const std::vector<Sample>& samples = track.samples;
    size_t stts = b.OpenFull("stts", 0, 0);
    const size_t countAt = out.size();
    b.U32(0);
    uint32_t runs = 0;
    for (size_t i = 0; i < samples.size();) {
        auto duration = [&](size_t k) -> uint64_t {
            if (track.audio) return m_audio.frameSamples;
            if (k + 1 < samples.size()) return samples[k + 1].time - samples[k].time;
            return kVideoTimescale / std::max<uint32_t>(1, m_video.fps);
        };
        const uint64_t d = duration(i);
        size_t j = i + 1;
        while (j < samples.size() && duration(j) == d) ++j;
        b.U32(uint32_t(j - i));
        b.U32(Clamp32(d));
        ++runs;
        i = j;
    }
    out[countAt] = uint8_t(runs >> 24);
    out[countAt + 1] = uint8_t(runs >> 16);
    out[countAt + 2] = uint8_t(runs >> 8);
    out[countAt + 3] = uint8_t(runs);
    b.Close(stts);

    if (!track.audio) {
        size_t stss = b.OpenFull("stss", 0, 0);
        uint32_t n = 0;
        for (const Sample& s : samples) n += s.sync ? 1 : 0;
        b.U32(n);
        for (size_t i = 0; i < samples.size(); ++i)
            if (samples[i].sync) b.U32(uint32_t(i + 1));
        b.Close(stss);
    }
    if (track.audio && !samples.empty()) {
        // Every AAC frame needs the one before it to decode whole: a roll-recovery group
        // of distance -1 over all samples tells a player to start one frame early.
        size_t sgpd = b.OpenFull("sgpd", 1, 0);
        b.Tag("roll");
        b.U32(2);        // entry length
        b.U32(1);
        b.U16(0xFFFF);   // roll distance -1
        b.Close(sgpd);
        size_t sbgp = b.OpenFull("sbgp", 0, 0);
        b.Tag("roll");
        b.U32(1);
        b.U32(uint32_t(samples.size()));
        b.U32(1);
        b.Close(sbgp);
    }
    size_t stsz = b.OpenFull("stsz", 0, 0);
    b.U32(0);
    b.U32(uint32_t(samples.size()));
    for (const Sample& s : samples) b.U32(s.size);
    b.Close(stsz);
    size_t stsc = b.OpenFull("stsc", 0, 0);
    b.U32(samples.empty() ? 0 : 1);
    if (!samples.empty()) {
        b.U32(1);
        b.U32(1);
        b.U32(1);
    }
    b.Close(stsc);
    const bool wide = !samples.empty() && samples.back().offset > UINT32_MAX;
    size_t stco = b.OpenFull(wide ? "co64" : "stco", 0, 0);
    b.U32(uint32_t(samples.size()));
    for (const Sample& s : samples) {
        if (wide) {
            b.U64(s.offset);
        } else {
            b.U32(uint32_t(s.offset));
        }
    }
    b.Close(stco);
    b.Close(stbl);
    b.Close(minf);
    b.Close(mdia);
    b.Close(trak);
}

std::vector<uint8_t> Mp4Muxer::BuildMoov() const {
    std::vector<uint8_t> out;
    Boxes b(out);
    uint64_t movieMs = 0;
    for (const Track& t : m_tracks) {
        if (!t.present || t.samples.empty()) continue;
        movieMs = std::max(movieMs, ToMovieUnits(t.startTime) +
                                        (PresentedDuration(t) * kMovieTimescale + t.timescale / 2) / t.timescale);
    }
    size_t moov = b.Open("moov");
    size_t mvhd = b.OpenFull("mvhd", 0, 0);
    b.U32(0);
    b.U32(0);
    b.U32(kMovieTimescale);
    b.U32(Clamp32(movieMs));
    b.U32(0x00010000);
    b.U16(0x0100);
    b.Zeros(10);
    b.Matrix();
    b.Zeros(24);
    b.U32(3);
    b.Close(mvhd);
    uint32_t id = 1;
    for (const Track& t : m_tracks) {
        // a track without samples has nothing to describe (no parameter sets either)
        if (t.present && !t.samples.empty()) BuildTrak(out, t, id);
        ++id;
    }
    b.Close(moov);
    return out;
}

bool Mp4Muxer::Finalize() {
    if (m_finalized) return !m_failed;
    m_finalized = true;
    if (!m_out) return false;
    if (!m_begun) {
        m_out->Close();
        return false;
    }
    // Whatever reached the file so far is indexed, also after a failed write: the
    // samples before it are whole.
    const bool writeFailed = m_failed;
    m_failed = false;
    const uint64_t mdatEnd = m_offset;
    std::vector<uint8_t> size(8);
    const uint64_t mdatSize = mdatEnd - m_mdatStart;
    for (int i = 0; i < 8; ++i) size[i] = uint8_t(mdatSize >> (56 - 8 * i));
    bool ok = m_out->WriteAt(m_mdatStart + 8, size.data(), size.size());
    if (ok) {
        std::vector<uint8_t> moov = BuildMoov();
        ok = Append(moov.data(), moov.size());
    }
    ok = m_out->Close() && ok;
    m_failed = writeFailed || !ok;
    return !m_failed;
}
