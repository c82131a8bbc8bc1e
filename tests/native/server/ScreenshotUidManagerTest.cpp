#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "server/ScreenshotUidManager.h"

namespace {

using List = std::vector<std::string>;
using Done = std::function<void(const List&)>;

// A pool over a fake settings list and a fake identifier request whose reply the test
// delivers by hand.
struct PoolFixture {
    ScreenshotUidManager pool;
    List saved;
    std::vector<Done> requests;
    std::vector<std::wstring> events;

    explicit PoolFixture(List initial) {
        ScreenshotUidManager::Hooks hooks;
        hooks.loadUids = [initial] { return initial; };
        hooks.saveUids = [this](const List& uids) { saved = uids; };
        hooks.fetchUids = [this](Done done) { requests.push_back(std::move(done)); };
        hooks.postEvent = [this](const std::wstring& c, const std::wstring& a, const std::wstring& l) {
            events.push_back(c + L"/" + a + L"/" + l);
        };
        pool.Init(hooks);
    }
};

bool IsLocalId(const std::string& id) {
    if (id.size() != 8) return false;
    for (char c : id) {
        if (!isalnum(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

}  // namespace

TEST(ScreenshotUidManager, TakesFromTheEndAndRefillsWhenTheLastIsTaken) {
    PoolFixture f({"a", "b", "c"});
    EXPECT_EQ(f.pool.GetUid(), "c");
    EXPECT_EQ(f.saved, (List{"a", "b"}));
    EXPECT_TRUE(f.requests.empty());
    EXPECT_EQ(f.pool.GetUid(), "b");
    EXPECT_TRUE(f.requests.empty());
    EXPECT_EQ(f.pool.GetUid(), "a");
    EXPECT_EQ(f.saved, List{});
    ASSERT_EQ(f.requests.size(), 1u);
    EXPECT_TRUE(f.pool.RefillInFlight());

    f.requests[0]({"x", "y"});
    EXPECT_FALSE(f.pool.RefillInFlight());
    EXPECT_EQ(f.pool.Pool(), (List{"x", "y"}));
    EXPECT_EQ(f.saved, (List{"x", "y"}));
    EXPECT_EQ(f.events, std::vector<std::wstring>{L"Api/uids/Ok-3"});
    EXPECT_EQ(f.pool.GetUid(), "y");
}

TEST(ScreenshotUidManager, EmptyPoolGivesLocalIdsAndOneRequestAtATime) {
    PoolFixture f({});
    std::string first = f.pool.GetUid();
    std::string second = f.pool.GetUid();
    EXPECT_TRUE(IsLocalId(first)) << first;
    EXPECT_TRUE(IsLocalId(second)) << second;
    EXPECT_NE(first, second);
    EXPECT_EQ(f.requests.size(), 1u);   // the second call found one in flight

    // A failed refill leaves the pool as it was; the next call tries again.
    f.requests[0]({});
    EXPECT_FALSE(f.pool.RefillInFlight());
    EXPECT_EQ(f.events, std::vector<std::wstring>{L"Api/uids/Failed-3"});
    EXPECT_TRUE(f.pool.Pool().empty());
    EXPECT_TRUE(IsLocalId(f.pool.GetUid()));
    EXPECT_EQ(f.requests.size(), 2u);
}

TEST(ScreenshotUidManager, AddUidsAppendsInOrder) {
    PoolFixture f({"a"});
    f.pool.AddUids({"x", "y"});
    EXPECT_EQ(f.pool.Pool(), (List{"a", "x", "y"}));
    EXPECT_EQ(f.saved, (List{"a", "x", "y"}));
    f.saved = {"untouched"};
    f.pool.AddUids({});
    EXPECT_EQ(f.saved, List{"untouched"});
}
