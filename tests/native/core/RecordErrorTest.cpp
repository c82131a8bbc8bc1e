#include <gtest/gtest.h>

#include "core/video/RecordError.h"
#include "LogCapture.h"

TEST(RecordErrorTest, KeepsTheFirstFailureAndRaisesTheFlag) {
    CvxRecordErrorState state;
    std::atomic<bool> flag{false};
    state.errorFlag = &flag;
    LogCapture log;
    SetRecordError(state, 17, int32_t(0x88890004u));
    SetRecordError(state, 14);
    EXPECT_EQ(state.code.load(), 17);
    EXPECT_EQ(uint32_t(state.hresult.load()), 0x88890004u);
    EXPECT_TRUE(flag.load());
    EXPECT_TRUE(log.Has("[cvxcore]:[Failed]:err=17 errEx=0x88890004"));
    EXPECT_TRUE(log.Has("[cvxcore]:[Failed]:err=14 errEx=S_FALSE"));
}

TEST(RecordErrorTest, WithoutAFlagOnlyTheCodeIsSet) {
    CvxRecordErrorState state;
    LogCapture log;
    SetRecordError(state, 5);
    EXPECT_TRUE(state.Failed());
    EXPECT_EQ(state.hresult.load(), kRecordHrFalse);
}
