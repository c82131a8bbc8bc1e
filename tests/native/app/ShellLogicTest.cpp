#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CaptureLabels.h"
#include "app/MonitorChangeWatch.h"
#include "app/Notification.h"
#include "app/OldLogs.h"

namespace {

TEST(NotificationQueueTest, BurstShowsOnlyTheLastOneAndArmsTheTimerOnce) {
    NotificationQueue queue;
    EXPECT_EQ(queue.Queue({L"Error", L"first", true}, false, true), NotificationQueue::QueueResult::Queued);
    EXPECT_EQ(queue.Queue({L"", L"second", false}, false, true), NotificationQueue::QueueResult::Replaced);
    auto shown = queue.Take();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text, L"second");
    EXPECT_EQ(shown->title, L"");
    EXPECT_FALSE(shown->isError);
    EXPECT_EQ(queue.Take(), nullptr) << "the timer shows a notification once";
    // After the timer the next one arms it again.
    EXPECT_EQ(queue.Queue({L"", L"third", false}, false, true), NotificationQueue::QueueResult::Queued);
}

TEST(NotificationQueueTest, SilentModeAndSwitchedOffNotificationsShowNothing) {
    struct Case {
        const char* name;
        bool silent, show;
    };
    const Case cases[] = {{"silent mode", true, true}, {"notifications off", false, false}, {"both", true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NotificationQueue queue;
        EXPECT_EQ(queue.Queue({L"Error", L"text", true}, c.silent, c.show), NotificationQueue::QueueResult::Dropped);
        EXPECT_FALSE(queue.HasPending());
    }
    // A silent-mode notification does not replace one already waiting.
    NotificationQueue queue;
    queue.Queue({L"", L"kept", false}, false, true);
    queue.Queue({L"", L"dropped", false}, true, true);
    EXPECT_EQ(queue.Take()->text, L"kept");
}

struct Recorder {
    std::vector<std::string> calls;
    MonitorChangeWatch::Actions Actions() {
        return {[this] { calls.push_back("cancel"); }, [this] { calls.push_back("reinit"); },
                [this] { calls.push_back("reopen log"); }};
    }
};

TEST(MonitorChangeWatchTest, ChangeWithoutRecordingReinitialisesAndReopensTheLog) {
    Recorder r;
    MonitorChangeWatch watch(1);
    watch.Tick(1, false, r.Actions());
    EXPECT_TRUE(r.calls.empty());
    watch.Tick(2, false, r.Actions());
    EXPECT_EQ(r.calls, (std::vector<std::string>{"reinit", "reopen log"}));
    EXPECT_EQ(watch.Count(), 2);
    watch.Tick(2, false, r.Actions());
    EXPECT_EQ(r.calls.size(), 2u) << "no second re-initialisation without a change";
}

TEST(MonitorChangeWatchTest, ChangeDuringRecordingCancelsAndWaitsForTheRecordingToEnd) {
    Recorder r;
    MonitorChangeWatch watch(1);
    watch.Tick(2, true, r.Actions());
    EXPECT_EQ(r.calls, (std::vector<std::string>{"cancel"})) << "the core must not be re-initialised under a live recorder";
    watch.Tick(2, true, r.Actions());
    watch.Tick(2, true, r.Actions());
    EXPECT_EQ(r.calls, (std::vector<std::string>{"cancel"})) << "cancelled once, still waiting";
    EXPECT_TRUE(watch.ReinitPending());
    watch.Tick(2, false, r.Actions());
    EXPECT_EQ(r.calls, (std::vector<std::string>{"cancel", "reinit", "reopen log"}));
    EXPECT_FALSE(watch.ReinitPending());
}

TEST(MonitorChangeWatchTest, FailedCountIsAChangeToo) {
    Recorder r;
    MonitorChangeWatch watch(2);
    watch.Tick(-1, false, r.Actions());
    EXPECT_EQ(r.calls, (std::vector<std::string>{"reinit", "reopen log"}));
    EXPECT_EQ(watch.Count(), -1);
}

TEST(OldLogsTest, AgeRule) {
    const int64_t now = 1700000000;
    struct Case {
        const char* name;
        int64_t lastWrite;
        bool old;
    };
    const Case cases[] = {
        {"exactly 31 days", now - 2678400, true},
        {"one second younger", now - 2678399, false},
        {"a year old", now - 31536000, true},
        {"written now", now, false},
        // A future time would wrap to a huge unsigned age: it is not old.
        {"one second in the future", now + 1, false},
        {"a day in the future", now + 86400, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsAgeOld(now, c.lastWrite), c.old);
    }
}

TEST(CaptureLabelsTest, StorageAndVideoLabels) {
    struct Case {
        int storage;
        const wchar_t* label;
    };
    const Case cases[] = {{1, L"Clipboard"}, {2, L"Server"}, {3, L"Server"}, {4, L"Clipboard + Local"},
                          {5, L"Clipboard + Local"}, {6, L"Server + Local"}, {7, L"Server + Local"}, {0, L"Clipboard"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.storage);
        EXPECT_EQ(StorageLabel(c.storage), c.label);
    }
    EXPECT_EQ(VideoLabel(0), L"Server");
    EXPECT_EQ(VideoLabel(1), L"Local");
}

}  // namespace

#include "app/Worker.h"

namespace {

class CountingWorker : public IWorker {
public:
    CountingWorker(int* runs, int* destroyed, bool fail) : m_runs(runs), m_destroyed(destroyed), m_fail(fail) {}
    ~CountingWorker() override { ++*m_destroyed; }
    void Run() override {
        ++*m_runs;
        if (m_fail) throw 1;
    }

private:
    int* m_runs;
    int* m_destroyed;
    bool m_fail;
};

TEST(WorkerTest, RunsOnceAndIsDeletedAlsoWhenItThrows) {
    for (bool fail : {false, true}) {
        SCOPED_TRACE(fail ? "throws" : "returns");
        int runs = 0, destroyed = 0;
        EXPECT_EQ(RunWorkerThread(new CountingWorker(&runs, &destroyed, fail)), 0u);
        EXPECT_EQ(runs, 1);
        EXPECT_EQ(destroyed, 1);
    }
}

}  // namespace
