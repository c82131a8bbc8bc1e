#pragma once
#include "service/logic/AnalyticsEvent.h"
#include "service/logic/UploadFields.h"
#include "service/logic/UploadInfo.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace service {

class Database;
class TempFile;

struct StoredEvent {
    int64_t id = 0;
    int64_t receivedAt = 0;
    AnalyticsEvent event;
};

// The data folder: "brivane.db" (SQLite, WAL mode, synchronous=FULL), "files/" with
// the stored uploads (names made by the service, never by the client), "tmp/" with
// uploads being received (emptied at start), and an optional "download/" folder whose
// newest file the download page offers.
//
// Thread-safe: writes go through one connection under a lock; reads borrow a
// connection from a pool (WAL lets them run beside the writer), each keeping its
// frequent statements prepared.
class Storage {
public:
    static std::unique_ptr<Storage> Open(const std::string& dataDir, std::string* error);
    ~Storage();
    Storage(const Storage&) = delete;
    Storage& operator=(const Storage&) = delete;

    // count fresh identifiers that no upload uses and that were never issued before,
    // reserved for appId when it is not empty. Empty on a database failure.
    std::vector<std::string> IssueUids(size_t count, const std::string& appId);

    enum class Owner { Free, Same, Other };
    // Whether (day, uid) may be stored by appId: Other when another installation
    // stored it or the identifier was issued to another installation.
    Owner CheckOwner(int dayNumber, const std::string& uid, const std::string& appId);

    enum class Commit { Stored, OtherOwner, Failed };
    // Puts a finished temporary file in place and records it, in one step under the
    // write lock: the row names only complete files. An upload of the same (day, uid)
    // by the same installation replaces the earlier one (one file, one row); by
    // another installation it is refused and nothing is touched.
    Commit CommitUpload(const UploadMeta& meta, TempFile& file, std::string* error);

    std::optional<UploadInfo> FindUpload(int dayNumber, const std::string& uid);
    // Newest first.
    std::vector<UploadInfo> ListUploads(const std::string& appId, size_t limit);
    // Absolute path of a stored upload; "" when the stored name is not one the service
    // makes.
    std::string FilePath(const UploadInfo& info) const;

    bool AddEvent(const AnalyticsEvent& event, int64_t receivedAt);
    // Newest first; cid "" = all.
    std::vector<StoredEvent> ListEvents(size_t limit, const std::string& cid);

    std::unique_ptr<TempFile> CreateTempFile(std::string* error);

    // Deletes stored files that no row names and that were last written before
    // olderThan (seconds since 1970): what a crash between putting a file in place and
    // recording it, or between replacing a file and deleting the old one, leaves
    // behind. Files written after olderThan may belong to a commit in progress and are
    // kept. Stops early when stop becomes true. Returns the number deleted.
    size_t RemoveUnreferencedFiles(int64_t olderThan, const std::atomic<bool>& stop);

    // The newest regular file of "download/" with a plain name; "" when none.
    std::string LatestDownload() const;
    std::string DownloadPath(const std::string& name) const;

    const std::string& DataDir() const { return m_dataDir; }

private:
    class ReadLease;
    explicit Storage(std::string dataDir);
    bool Init(std::string* error);
    std::unique_ptr<Database> BorrowReader();
    void ReturnReader(std::unique_ptr<Database> db);

    std::string m_dataDir, m_filesDir, m_tmpDir, m_dbPath;
    std::mutex m_writeMutex;
    std::unique_ptr<Database> m_writer;  // guarded by m_writeMutex
    std::mutex m_readMutex;
    std::vector<std::unique_ptr<Database>> m_readers;  // idle read connections
};

}  // namespace service
