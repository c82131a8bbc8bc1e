#include "service/http/RequestContext.h"

namespace service {

RequestContext& CurrentRequest() {
    thread_local RequestContext context;
    return context;
}

void ResetRequest(std::chrono::milliseconds headerTimeout) {
    RequestContext& ctx = CurrentRequest();
    ctx.start = std::chrono::steady_clock::now();
    ctx.headerDeadline = ctx.start + headerTimeout;
    ctx.routed = false;
    ctx.headerBytes = 0;
    ctx.bodyBytes = 0;
    ctx.logged = false;
    ctx.closeAfter = false;
    ctx.drainOnClose = false;
    ctx.note.clear();
}

namespace {
thread_local void (*t_waitHook)() = nullptr;
}  // namespace

void BeforeWaiting() {
    if (t_waitHook) t_waitHook();
}

void SetWaitHook(void (*hook)()) { t_waitHook = hook; }

void MarkRouted() {
    RequestContext& ctx = CurrentRequest();
    ctx.routed = true;
    ctx.routedAt = std::chrono::steady_clock::now();
}

void CloseAfterResponse(bool unreadBody) {
    RequestContext& ctx = CurrentRequest();
    ctx.closeAfter = true;
    ctx.drainOnClose = ctx.drainOnClose || unreadBody;
}

}  // namespace service
