#include "core/video/RecordError.h"

#include "foundation/Log.h"

namespace {

void Store(CvxRecordErrorState& state, int code, int32_t hr) {
    int expected = 0;
    if (state.code.compare_exchange_strong(expected, code)) state.hresult = hr;
    if (std::atomic<bool>* flag = state.errorFlag.load()) flag->store(true);
}

}  // namespace

void SetRecordError(CvxRecordErrorState& state, int code, int32_t hr) {
    Log("[cvxcore]:[Failed]:err=%d errEx=0x%x\n", code, static_cast<unsigned>(hr));
    Store(state, code, hr);
}

void SetRecordError(CvxRecordErrorState& state, int code) {
    Log("[cvxcore]:[Failed]:err=%d errEx=S_FALSE\n", code);
    Store(state, code, kRecordHrFalse);
}
