#pragma once
#include <chrono>
#include <cstdint>
#include <string>

namespace service {

// What the connection loop, the handlers and the request log share about the request
// being served on this thread. httplib runs one request at a time per worker thread
// and calls the handlers and the logger on that thread, so a thread-local record is
// enough. Reset at the start of every request.
struct RequestContext {
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point headerDeadline;  // request line and headers must arrive by then
    bool routed = false;        // headers were read and the request reached routing
    std::chrono::steady_clock::time_point routedAt;
    size_t headerBytes = 0;     // bytes read before routing
    uint64_t bodyBytes = 0;     // bytes read after routing
    bool logged = false;        // the request log has its line
    bool closeAfter = false;    // close the connection after this response
    bool drainOnClose = false;  // the request body was not read to its end
    std::string note;           // the outcome, for the log line
};

RequestContext& CurrentRequest();
void ResetRequest(std::chrono::milliseconds headerTimeout);
// Called when the request reaches routing: from now on reads are body reads.
void MarkRouted();

// Called by this thread before it waits for a client or for the disk: the connection
// pool lets another of its threads serve the ready connections meanwhile.
void BeforeWaiting();
// The pool's hook for BeforeWaiting on the calling thread.
void SetWaitHook(void (*hook)());

// Ends the connection after this response, with "Connection: close". unreadBody: the
// request body was not read to its end, so the loop reads and drops what the client
// still sends before closing (otherwise the client may see a reset instead of the reply).
void CloseAfterResponse(bool unreadBody);

}  // namespace service
