#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ImageTestSupport.h"
#include "image/PxIOFile.h"
#include "image/PxMemFile.h"

TEST(PxMemFile, ReadsWholeItemsFromCallerBuffer) {
    uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    PxMemFile f(data, 10);
    EXPECT_EQ(f.Size(), 10);
    uint8_t out[16] = {0};
    EXPECT_EQ(f.Read(out, 4, 4), 2u);  // 10 bytes copied, two whole items
    EXPECT_EQ(f.Tell(), 10);
    EXPECT_EQ(out[9], 9);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.GetC(), -1);
}

TEST(PxMemFile, GrowsInPagesAndHandsBufferOver) {
    PxMemFile f;
    ASSERT_TRUE(f.Open());
    std::vector<uint8_t> bytes(5000, 0xAB);
    EXPECT_EQ(f.Write(bytes.data(), 1, bytes.size()), bytes.size());
    EXPECT_EQ(f.GetCapacity(), 8192u);
    EXPECT_EQ(f.Size(), 5000);
    uint8_t* buffer = f.GetBuffer(true);
    f.Close();  // must not free the detached block
    EXPECT_EQ(buffer[4999], 0xAB);
    std::free(buffer);
}

TEST(PxMemFile, SeekRules) {
    uint8_t data[10] = {0};
    PxMemFile f(data, 10);
    EXPECT_TRUE(f.Seek(-5, SEEK_SET));
    EXPECT_EQ(f.Tell(), 0);
    EXPECT_TRUE(f.Seek(100, SEEK_END));
    EXPECT_EQ(f.Tell(), 110);
    EXPECT_EQ(f.Error(), 1);
    EXPECT_TRUE(f.Eof());
    uint8_t b;
    EXPECT_EQ(f.Read(&b, 1, 1), 0u);
    EXPECT_FALSE(f.Seek(3, 3));
    EXPECT_EQ(f.Tell(), 110);
}

// Growing a stream over a caller's buffer must copy, never realloc or free it.
TEST(PxMemFile, WritePastCallerBufferCopiesIntoOwnBlock) {
    uint8_t* caller = static_cast<uint8_t*>(std::malloc(4));
    std::memcpy(caller, "abcd", 4);
    {
        PxMemFile f(caller, 4);
        ASSERT_TRUE(f.Seek(0, SEEK_END));
        EXPECT_EQ(f.Write("efgh", 1, 4), 4u);
        EXPECT_EQ(f.Size(), 8);
        uint8_t* grown = f.GetBuffer(false);
        EXPECT_NE(grown, caller);
        EXPECT_EQ(std::memcmp(grown, "abcdefgh", 8), 0);
    }  // the stream frees its own block only
    EXPECT_EQ(std::memcmp(caller, "abcd", 4), 0);
    std::free(caller);  // still ours: a double free would abort here under ASan
}

TEST(PxMemFile, GapLeftBySeekingPastEndIsZeroFilled) {
    PxMemFile f;
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.PutC('x'));
    ASSERT_TRUE(f.Seek(100, SEEK_SET));
    ASSERT_TRUE(f.PutC('y'));
    uint8_t* b = f.GetBuffer(false);
    for (int i = 1; i < 100; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(b[100], 'y');
    EXPECT_EQ(f.Size(), 101);
}

TEST(PxMemFile, OversizedRequestsFailInsteadOfWrapping) {
    uint8_t data[4] = {1, 2, 3, 4};
    PxMemFile f(data, 4);
    uint8_t out[4];
    // size x count overflows size_t: only what is there can be read.
    EXPECT_EQ(f.Read(out, SIZE_MAX / 2, 4), 0u);
    EXPECT_EQ(f.Tell(), 4);
    PxMemFile g;
    ASSERT_TRUE(g.Open());
    EXPECT_EQ(g.Write(data, SIZE_MAX / 2, 4), 0u);
    EXPECT_TRUE(g.Seek(0x7FFFFFF0, SEEK_SET));
    EXPECT_EQ(g.Write(data, 1, 4096), 0u);
    EXPECT_EQ(g.Size(), 0);
}

TEST(PxIOFile, CallerHandleStaysOpen) {
    std::string path = pxtest::TempPath("io.bin");
    FILE* fp = std::fopen(path.c_str(), "wb+");
    ASSERT_NE(fp, nullptr);
    {
        PxIOFile f(fp);
        EXPECT_EQ(f.Write("hello", 1, 5), 5u);
        EXPECT_TRUE(f.Close());
        EXPECT_EQ(f.GetHandle(), fp);
        EXPECT_FALSE(f.Open(path.c_str(), "rb"));  // already holds a handle
        EXPECT_EQ(f.Size(), 5);
    }
    EXPECT_EQ(std::fputc('!', fp), '!');  // still open after the stream is gone
    std::fclose(fp);
    PxIOFile empty;
    EXPECT_EQ(empty.Tell(), 0);
    EXPECT_EQ(empty.Size(), -1);
    EXPECT_TRUE(empty.Eof());
    std::remove(path.c_str());
}
