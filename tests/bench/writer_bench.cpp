// Times our own MP4 writer on raw frames: writer_bench FRAMES.bgra WIDTH HEIGHT FPS BITRATE OUT.mp4
// Prints the frames written per second (reading the frames is not counted) as the only line
// on standard output; the writer's log lines, the encoder's messages among them, go to
// OUT.mp4.log.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "core/video/MediaFileWriter.h"
#include "foundation/Utf.h"

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: writer_bench FRAMES.bgra WIDTH HEIGHT FPS BITRATE OUT.mp4\n");
        return 2;
    }
    const uint32_t w = uint32_t(std::atoi(argv[2])), h = uint32_t(std::atoi(argv[3]));
    const uint32_t fps = uint32_t(std::atoi(argv[4])), bitrate = uint32_t(std::atoi(argv[5]));
    FILE* in = std::fopen(argv[1], "rb");
    if (!in) return 1;
    // The log writes to standard output: keep the real one for the result and send the
    // log to a file beside the output.
    FILE* result = fdopen(dup(fileno(stdout)), "w");
    if (!result || !std::freopen((std::string(argv[6]) + ".log").c_str(), "w", stdout)) return 1;
    int32_t hr = 0;
    std::unique_ptr<IMediaFileWriter> writer = CreateBuiltinMediaWriter(Utf8ToWide(argv[6]), hr);
    uint32_t video = 0;
    if (!writer || writer->AddVideoStream({w, h, fps, bitrate}, video) != kWriterOk ||
        writer->SetVideoInputType(video, w, h, fps) != kWriterOk || writer->BeginWriting() != kWriterOk)
        return 1;
    std::vector<uint8_t> frame(size_t(w) * h * 4);
    double seconds = 0;
    int frames = 0;
    while (std::fread(frame.data(), 1, frame.size(), in) == frame.size()) {
        const auto start = std::chrono::steady_clock::now();
        if (writer->WriteSample(video, frame.data(), uint32_t(frame.size()), int64_t(frames) * 10000000 / fps, -1) !=
            kWriterOk)
            return 1;
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++frames;
    }
    const auto start = std::chrono::steady_clock::now();
    writer->Finalize();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fclose(in);
    std::fprintf(result, "%d frames in %.2f s: %.1f fps\n", frames, seconds, frames / seconds);
    std::fclose(result);
    return 0;
}
