#include <gtest/gtest.h>

#include <vector>

#include "foundation/UniqueResource.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/PosixHandles.h"
#endif

namespace {

// Handles are positive ints; 0 is empty and negatives are "no handle" values as well.
std::vector<int> g_freed;

struct CountingTraits {
    using Handle = int;
    static int Empty() { return 0; }
    static bool IsValid(int h) { return h > 0; }
    static void Free(int h) { g_freed.push_back(h); }
};
using Counted = UniqueResource<CountingTraits>;

class UniqueResourceTest : public ::testing::Test {
protected:
    void SetUp() override { g_freed.clear(); }
};

TEST_F(UniqueResourceTest, FreesWhatItHoldsOnceAndNothingElse) {
    { Counted empty; Counted invalid(-1); EXPECT_FALSE(empty); EXPECT_FALSE(invalid); }
    EXPECT_TRUE(g_freed.empty());
    { Counted one(7); EXPECT_TRUE(one); EXPECT_EQ(one.get(), 7); }
    EXPECT_EQ(g_freed, std::vector<int>{7});
}

TEST_F(UniqueResourceTest, MovedHandleIsFreedOnceByItsLastOwner) {
    {
        Counted a(3);
        Counted b(std::move(a));
        EXPECT_EQ(a.get(), 0);
        EXPECT_EQ(b.get(), 3);
        Counted c(5);
        c = std::move(b);           // c's 5 goes now, the 3 moves on
        EXPECT_EQ(g_freed, std::vector<int>{5});
        Counted& alias = c;
        c = std::move(alias);       // onto itself: nothing changes
        EXPECT_EQ(c.get(), 3);
        EXPECT_EQ(g_freed, std::vector<int>{5});
    }
    EXPECT_EQ(g_freed, (std::vector<int>{5, 3}));
}

TEST_F(UniqueResourceTest, ReleaseResetAndPut) {
    struct Case {
        const char* name;
        void (*step)(Counted&);
        int heldAfter;
        std::vector<int> freedByStep;
    };
    const Case cases[] = {
        {"release gives up ownership", [](Counted& h) { EXPECT_EQ(h.release(), 4); }, 0, {}},
        {"reset frees now", [](Counted& h) { h.reset(); }, 0, {4}},
        {"reset to another frees the old", [](Counted& h) { h.reset(9); }, 9, {4}},
        {"reset to the same keeps it", [](Counted& h) { h.reset(4); }, 4, {}},
        {"put frees before the out-parameter is written", [](Counted& h) { *h.put() = 6; }, 6, {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_freed.clear();
        {
            Counted h(4);
            c.step(h);
            EXPECT_EQ(h.get(), c.heldAfter);
            EXPECT_EQ(g_freed, c.freedByStep);
            g_freed.clear();
        }
        std::vector<int> atEnd;
        if (c.heldAfter > 0) atEnd.push_back(c.heldAfter);
        EXPECT_EQ(g_freed, atEnd);
    }
}

#ifndef _WIN32
bool FdOpen(int fd) { return fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

TEST(PosixHandles, UniqueFdClosesOnceAndAMovedFdStaysOpen) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    UniqueFd write(fds[1]);
    {
        UniqueFd read(fds[0]);
        UniqueFd moved(std::move(read));
        EXPECT_FALSE(read);
        EXPECT_TRUE(FdOpen(fds[0]));
    }
    EXPECT_FALSE(FdOpen(fds[0]));
    EXPECT_TRUE(FdOpen(fds[1]));
    write.reset();
    EXPECT_FALSE(FdOpen(fds[1]));
}
#endif

}  // namespace
