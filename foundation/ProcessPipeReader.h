#pragma once
#include <cstdint>
#include <string>

#include "foundation/ProcessOutputDecoder.h"

// The read end of a child-output pipe: a HANDLE on Windows, a file descriptor set to
// non-blocking elsewhere, carried as an integer so that this header stays portable.
using PipeHandle = intptr_t;

// One bounded read that never waits: the number of bytes read (at most capacity),
// 0 when the pipe holds nothing now, -1 when it is broken (every writer gone and
// nothing left) or the read failed.
int ReadPipeNow(PipeHandle pipe, char* buffer, int capacity);

// Reads a child's output pipe without ever blocking and hands it on as text. Shared by
// every runner of child programs. Does not own the pipe.
class ProcessPipeReader {
public:
    static constexpr int kChunkBytes = 16384;

    explicit ProcessPipeReader(PipeHandle pipe) : m_pipe(pipe) {}

    // One bounded read of what the pipe holds now. The bytes are cut at a NUL byte and
    // decoded; chunk is empty when nothing (or only part of a character) arrived.
    // False when the pipe is broken.
    bool ReadAvailable(std::wstring& chunk);

    // For the end, after the child has ended and our copy of the write end is closed:
    // reads until the pipe is empty or broken, however much is pending, and adds what
    // the decoder still keeps.
    std::wstring ReadRest();

private:
    PipeHandle m_pipe;
    ProcessOutputDecoder m_decoder;
};
