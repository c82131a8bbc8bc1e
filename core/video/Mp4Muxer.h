#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Where the muxer's bytes go: appended in order, plus rewriting a few header bytes
// already written (the media data size).
class IMuxOutput {
public:
    virtual ~IMuxOutput() = default;
    virtual bool Write(const void* data, size_t size) = 0;
    virtual bool WriteAt(uint64_t offset, const void* data, size_t size) = 0;
    // Continues appending at `offset` (past the end leaves a hole).
    virtual bool SeekTo(uint64_t offset) = 0;
    virtual bool Close() = 0;
};

// A file on disk; the path is UTF-8 (converted to UTF-16 on Windows). Null when the file
// cannot be created.
std::unique_ptr<IMuxOutput> OpenMuxFile(const std::string& utf8Path);

// An ISO base media file (MP4) with one H.264 video track and one AAC audio track. The
// media data is streamed to the output as samples arrive; the index (moov) is written
// by Finalize, which also closes a file whose writing failed half way.
class Mp4Muxer {
public:
    struct VideoTrack {
        uint32_t width = 0, height = 0, fps = 30;
        std::vector<uint8_t> sps, pps;
    };
    struct AudioTrack {
        uint32_t sampleRate = 48000, channels = 2, bitrate = 128000;
        std::vector<uint8_t> audioSpecificConfig;
        uint32_t frameSamples = 1024;
        // The encoder's start-up delay: decoded sound begins this many samples into the
        // track, and an edit skips them so the sound starts with the picture.
        uint32_t priming = 0;
    };

    explicit Mp4Muxer(std::unique_ptr<IMuxOutput> out);
    ~Mp4Muxer();

    // Writes ftyp and the media data header. `dataStart` (tests only) places the first
    // sample that far into the file, leaving a hole before it.
    bool Begin(uint64_t dataStart = 0);
    int AddVideoTrack(const VideoTrack& track);   // track number, -1 when one exists
    int AddAudioTrack(const AudioTrack& track);
    // The video parameter sets may arrive with the first frame.
    void SetVideoParameterSets(const std::vector<uint8_t>& sps, const std::vector<uint8_t>& pps);
    // A video sample (length-prefixed NAL units) at `time` (100-ns units from the file's
    // origin).
    bool WriteVideoSample(const uint8_t* data, size_t size, uint64_t time, bool keyFrame);
    // An audio access unit; audio samples follow each other without gaps from `start`.
    bool WriteAudioSample(const uint8_t* data, size_t size);
    void SetAudioStart(uint64_t time);
    // How many samples of sound the track presents (after the priming); the encoded
    // frames round it up. Without it the whole media after the priming is presented.
    void SetAudioLength(uint64_t samples) { m_audioLength = samples; }
    // Writes the index and closes the output. False when anything failed.
    bool Finalize();

    bool Failed() const { return m_failed; }
    uint64_t DataEnd() const { return m_offset; }

    struct Sample {
        uint64_t offset;
        uint32_t size;
        uint64_t time;   // in the track's time scale
        bool sync;
    };

private:
    struct Track {
        bool audio = false;
        bool present = false;
        uint32_t timescale = 0;
        uint64_t startTime = 0;   // 100-ns units from the origin
        std::vector<Sample> samples;
    };
    std::vector<uint8_t> BuildMoov() const;
    void BuildTrak(std::vector<uint8_t>& out, const Track& track, uint32_t id) const;
    uint64_t TrackDuration(const Track& track) const;
    // What the track presents, in its own time scale: the media less the skipped priming.
    uint64_t PresentedDuration(const Track& track) const;
    bool Append(const uint8_t* data, size_t size);

    std::unique_ptr<IMuxOutput> m_out;
    VideoTrack m_video;
    AudioTrack m_audio;
    Track m_tracks[2];   // video, audio
    uint64_t m_audioLength = 0;
    uint64_t m_mdatStart = 0;
    uint64_t m_offset = 0;
    bool m_failed = false;
    bool m_begun = false;
    bool m_finalized = false;
};
