// The storage: WAL database, identifiers, uploads committed by rename, ownership,
// restarts, and the streaming upload session.
#include "ServiceTestSupport.h"

#include "service/logic/Identifiers.h"
#include "service/storage/Storage.h"
#include "service/storage/TempFile.h"
#include "service/storage/UploadSession.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/stat.h>

using namespace service;
using servicetest::FilesBelow;
using servicetest::ReadFile;
using servicetest::TempFolder;

namespace {

UploadMeta Meta(const std::string& appId, const std::string& uid, const std::string& name = "shot") {
    UploadMeta m;
    m.appId = appId;
    m.dayNumber = 650;
    m.uid = uid;
    m.ext = "png";
    m.type = UploadType::Screenshot;
    m.displayName = name;
    return m;
}

Storage::Commit Store(Storage& storage, const UploadMeta& meta, const std::string& bytes) {
    std::string error;
    auto file = storage.CreateTempFile(&error);
    EXPECT_TRUE(file) << error;
    EXPECT_TRUE(file->Write(bytes.data(), bytes.size()));
    return storage.CommitUpload(meta, *file, &error);
}

std::string Pragma(const std::string& dbPath, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

constexpr char kA[] = "{12345678-9ABC-DEF0-1234-56789ABCDEF0}";
constexpr char kB[] = "{0FEDCBA9-8765-4321-0FED-CBA987654321}";

}  // namespace

TEST(Storage, OpensInWalModeAndEmptiesTheTemporaryFolder) {
    TempFolder dir;
    std::string data = dir.Path() + "/data";
    std::filesystem::create_directories(data + "/tmp");
    std::ofstream(data + "/tmp/upload-left.part") << "half";
    std::string error;
    auto storage = Storage::Open(data, &error);
    ASSERT_TRUE(storage) << error;
    EXPECT_EQ(Pragma(data + "/brivane.db", "PRAGMA journal_mode"), "wal");
    EXPECT_TRUE(FilesBelow(data + "/tmp").empty());
}

TEST(Storage, RefusesAFolderItCannotUse) {
    TempFolder dir;
    std::ofstream(dir.Path() + "/plainfile") << "x";
    std::string error;
    EXPECT_FALSE(Storage::Open(dir.Path() + "/plainfile", &error));
    EXPECT_NE(error.find("plainfile"), std::string::npos);
}

TEST(Storage, IssuesFreshUniqueIdentifiers) {
    TempFolder dir;
    auto storage = Storage::Open(dir.Path(), nullptr);
    ASSERT_TRUE(storage);
    std::set<std::string> seen;
    for (int round = 0; round < 20; ++round) {
        auto uids = storage->IssueUids(10, round % 2 ? kA : "");
        ASSERT_EQ(uids.size(), 10u);
        for (const std::string& uid : uids) {
            EXPECT_EQ(uid.size(), kIssuedUidLength);
            EXPECT_TRUE(IsUid(uid)) << uid;
            EXPECT_TRUE(seen.insert(uid).second) << "issued twice: " << uid;
        }
    }
}

TEST(Storage, SameInstallationReplacesOtherInstallationIsRefused) {
    TempFolder dir;
    auto storage = Storage::Open(dir.Path(), nullptr);
    ASSERT_TRUE(storage);
    ASSERT_EQ(Store(*storage, Meta(kA, "AbCdEf12"), "first"), Storage::Commit::Stored);
    ASSERT_EQ(Store(*storage, Meta(kA, "AbCdEf12"), "second"), Storage::Commit::Stored);
    ASSERT_EQ(Store(*storage, Meta(kA, "AbCdEf12"), "second"), Storage::Commit::Stored);
    EXPECT_EQ(Store(*storage, Meta(kB, "AbCdEf12", "evil"), "evil"), Storage::Commit::OtherOwner);

    auto files = FilesBelow(dir.Path() + "/files");
    ASSERT_EQ(files.size(), 1u) << "one file for one identifier";
    auto info = storage->FindUpload(650, "AbCdEf12");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->appId, kA);
    EXPECT_EQ(info->displayName, "shot");
    EXPECT_EQ(info->size, 6u);
    EXPECT_EQ(ReadFile(storage->FilePath(*info)), "second");
    EXPECT_EQ(storage->ListUploads(kA, 10).size(), 1u);
    EXPECT_TRUE(storage->ListUploads(kB, 10).empty());
    EXPECT_TRUE(FilesBelow(dir.Path() + "/tmp").empty()) << "refused upload left its temporary file";

    EXPECT_EQ(storage->CheckOwner(650, "AbCdEf12", kA), Storage::Owner::Same);
    EXPECT_EQ(storage->CheckOwner(650, "AbCdEf12", kB), Storage::Owner::Other);
    EXPECT_EQ(storage->CheckOwner(651, "AbCdEf12", kB), Storage::Owner::Free);
}

TEST(Storage, IssuedIdentifiersAreReservedForTheirInstallation) {
    TempFolder dir;
    auto storage = Storage::Open(dir.Path(), nullptr);
    ASSERT_TRUE(storage);
    std::string uid = storage->IssueUids(1, kA).at(0);
    EXPECT_EQ(storage->CheckOwner(650, uid, kB), Storage::Owner::Other);
    EXPECT_EQ(Store(*storage, Meta(kB, uid), "x"), Storage::Commit::OtherOwner);
    EXPECT_EQ(Store(*storage, Meta(kA, uid), "x"), Storage::Commit::Stored);
    std::string open = storage->IssueUids(1, "").at(0);
    EXPECT_EQ(Store(*storage, Meta(kB, open), "y"), Storage::Commit::Stored);
}

TEST(Storage, UploadsAndEventsSurviveReopening) {
    TempFolder dir;
    {
        auto storage = Storage::Open(dir.Path(), nullptr);
        ASSERT_TRUE(storage);
        ASSERT_EQ(Store(*storage, Meta(kA, "Older123", "older"), "1"), Storage::Commit::Stored);
        ASSERT_EQ(Store(*storage, Meta(kA, "Newer123", "newer"), "22"), Storage::Commit::Stored);
        AnalyticsEvent e;
        e.v = "1"; e.t = "event"; e.tid = "UA-1"; e.cid = "c1"; e.ec = "Application"; e.ea = "Launch";
        ASSERT_TRUE(storage->AddEvent(e, 1000));
        e.cid = "c2"; e.ea = "Exit";
        ASSERT_TRUE(storage->AddEvent(e, 1001));
    }
    auto storage = Storage::Open(dir.Path(), nullptr);
    ASSERT_TRUE(storage);
    auto list = storage->ListUploads(kA, 10);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].uid, "Newer123");  // newest first (same second: by insertion)
    EXPECT_EQ(ReadFile(storage->FilePath(list[0])), "22");
    auto events = storage->ListEvents(10, "");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].event.ea, "Exit");
    auto c1 = storage->ListEvents(10, "c1");
    ASSERT_EQ(c1.size(), 1u);
    EXPECT_EQ(c1[0].event.ec, "Application");
    EXPECT_EQ(c1[0].receivedAt, 1000);
}

TEST(Storage, StoredNamesOutsideTheFilesFolderAreNeverOpened) {
    TempFolder dir;
    auto storage = Storage::Open(dir.Path(), nullptr);
    ASSERT_TRUE(storage);
    UploadInfo info;
    for (const char* bad : {"", "../brivane.db", "AU/../../x", "/etc/passwd", "AU/a/b", "AU\\x"}) {
        info.storedName = bad;
        EXPECT_EQ(storage->FilePath(info), "") << bad;
    }
    EXPECT_EQ(storage->DownloadPath("../brivane.db"), "");
    EXPECT_EQ(storage->DownloadPath(".hidden"), "");
}

namespace {

// Feeds a session the parts of a form in the given order.
UploadSession::Result Feed(Storage& storage, uint64_t limit,
                           const std::vector<std::pair<std::string, std::string>>& parts, bool readOk = true) {
    UploadSession session(storage, limit);
    bool ok = true;
    for (const auto& part : parts) {
        if (!session.OnPart(part.first)) { ok = false; break; }
        // The file arrives in pieces, as the reader hands it over.
        size_t step = 3;
        for (size_t i = 0; ok && i < part.second.size(); i += step)
            ok = session.OnData(part.second.data() + i, std::min(step, part.second.size() - i));
        if (!ok) break;
    }
    return session.Finish(ok && readOk);
}

std::vector<std::pair<std::string, std::string>> Form(const std::string& file, const std::string& appId = kA,
                                                      const std::string& ext = ".png") {
    return {{"appId", appId}, {"screenshotId", "121021/AbCdEf12"}, {"fileExt", ext}, {"uploadType", "0"},
            {"fileName", "c2hvdA=="}, {"userfile", file}};
}

}  // namespace

TEST(UploadSession, StoresAndRefuses) {
    TempFolder dir;
    auto storage = Storage::Open(dir.Path(), nullptr);
    ASSERT_TRUE(storage);

    auto stored = Feed(*storage, 10, Form("0123456789"));  // exactly the limit
    EXPECT_EQ(stored.outcome, UploadSession::Outcome::Stored) << stored.detail;
    EXPECT_EQ(stored.size, 10u);

    auto large = Feed(*storage, 10, Form("0123456789A"));
    EXPECT_EQ(large.outcome, UploadSession::Outcome::TooLarge);

    auto badExt = Feed(*storage, 10, Form("x", kA, "../../x"));
    EXPECT_EQ(badExt.outcome, UploadSession::Outcome::Malformed);
    EXPECT_EQ(badExt.detail, "bad fileExt");

    auto other = Feed(*storage, 10, Form("evil", kB));
    EXPECT_EQ(other.outcome, UploadSession::Outcome::OtherOwner);

    auto cut = Feed(*storage, 10, Form("xyz"), false);
    EXPECT_EQ(cut.outcome, UploadSession::Outcome::Incomplete);

    auto twoFiles = Form("a");
    twoFiles.push_back({"userfile", "b"});
    EXPECT_EQ(Feed(*storage, 10, twoFiles).outcome, UploadSession::Outcome::Malformed);

    auto repeated = Form("a");
    repeated.insert(repeated.begin(), {"appId", kB});
    EXPECT_EQ(Feed(*storage, 10, repeated).outcome, UploadSession::Outcome::Malformed);

    auto noFile = Form("a");
    noFile.pop_back();
    EXPECT_EQ(Feed(*storage, 10, noFile).outcome, UploadSession::Outcome::Malformed);

    // The file first and the fields after it (another client's order) works too.
    auto fileFirst = Form("abc");
    std::rotate(fileFirst.begin(), fileFirst.end() - 1, fileFirst.end());
    EXPECT_EQ(Feed(*storage, 10, fileFirst).outcome, UploadSession::Outcome::Stored);

    auto longField = Form("a");
    longField[4].second = std::string(kMaxFieldBytes + 1, 'A');
    EXPECT_EQ(Feed(*storage, 10, longField).outcome, UploadSession::Outcome::Malformed);

    auto info = storage->FindUpload(650, "AbCdEf12");
    ASSERT_TRUE(info);
    EXPECT_EQ(ReadFile(storage->FilePath(*info)), "abc");
    EXPECT_EQ(FilesBelow(dir.Path() + "/files").size(), 1u);
    EXPECT_TRUE(FilesBelow(dir.Path() + "/tmp").empty());
}

TEST(Storage, FilesACrashLeftUnreferencedAreRemoved) {
    TempFolder dir;
    auto storage = Storage::Open(dir.Path(), nullptr);
    ASSERT_TRUE(storage);
    ASSERT_EQ(Store(*storage, Meta(kA, "Kept1234"), "kept"), Storage::Commit::Stored);
    std::filesystem::create_directories(dir.Path() + "/files/AU");
    std::string oldOrphan = dir.Path() + "/files/AU/Lost1234-AbCdEfGhIj";
    std::string newOrphan = dir.Path() + "/files/AU/Busy1234-AbCdEfGhIj";
    std::string foreign = dir.Path() + "/files/AU/not.a.stored.name";
    for (const std::string& p : {oldOrphan, newOrphan, foreign}) std::ofstream(p) << "x";
    int64_t now = static_cast<int64_t>(std::time(nullptr));
    // Everything but the busy file was written two hours ago.
    for (const std::string& p : FilesBelow(dir.Path() + "/files")) {
        std::string full = dir.Path() + "/files/" + p;
        if (full == newOrphan) continue;
        timespec times[2] = {{now - 7200, 0}, {now - 7200, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, full.c_str(), times, 0), 0);
    }
    std::atomic<bool> stop{false};
    EXPECT_EQ(storage->RemoveUnreferencedFiles(now - 60, stop), 1u);
    EXPECT_FALSE(std::filesystem::exists(oldOrphan));
    EXPECT_TRUE(std::filesystem::exists(newOrphan)) << "may belong to a commit in progress";
    EXPECT_TRUE(std::filesystem::exists(foreign)) << "not a name the service makes";
    auto info = storage->FindUpload(650, "Kept1234");
    ASSERT_TRUE(info);
    EXPECT_EQ(ReadFile(storage->FilePath(*info)), "kept");
}
