#include "service/storage/Storage.h"

#include "foundation/DayCode.h"
#include "service/logic/Identifiers.h"
#include "service/logic/UidGenerator.h"
#include "service/storage/Database.h"
#include "service/storage/Statement.h"
#include "service/storage/TempFile.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace service {
namespace {

// At most one read connection per request thread is ever borrowed at once; keeping
// them all open avoids opening a connection (and reading the schema) per request.
constexpr size_t kMaxIdleReaders = 1024;

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS uploads("
    " id INTEGER PRIMARY KEY,"
    " day INTEGER NOT NULL,"
    " uid TEXT NOT NULL,"
    " app_id TEXT NOT NULL,"
    " upload_type INTEGER NOT NULL,"
    " ext TEXT NOT NULL,"
    " display_name TEXT NOT NULL,"
    " size INTEGER NOT NULL,"
    " stored_name TEXT NOT NULL,"
    " created_at INTEGER NOT NULL,"
    " updated_at INTEGER NOT NULL,"
    " UNIQUE(day, uid))",
    "CREATE INDEX IF NOT EXISTS uploads_by_uid ON uploads(uid)",
    "CREATE INDEX IF NOT EXISTS uploads_by_app ON uploads(app_id, created_at)",
    "CREATE INDEX IF NOT EXISTS uploads_by_stored_name ON uploads(stored_name)",
    "CREATE TABLE IF NOT EXISTS issued_uids("
    " uid TEXT PRIMARY KEY,"
    " app_id TEXT,"
    " issued_at INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS events("
    " id INTEGER PRIMARY KEY,"
    " received_at INTEGER NOT NULL,"
    " v TEXT, t TEXT, tid TEXT, cid TEXT, ec TEXT, ea TEXT, el TEXT, ev TEXT, an TEXT, av TEXT)",
    "CREATE INDEX IF NOT EXISTS events_by_cid ON events(cid, id)",
    "PRAGMA user_version = 1",
};

const char kUploadColumns[] =
    "day, uid, app_id, upload_type, ext, display_name, size, stored_name, created_at";

UploadInfo ReadUpload(const Statement& st) {
    UploadInfo info;
    info.dayNumber = static_cast<int>(st.Int(0));
    info.uid = st.Text(1);
    info.appId = st.Text(2);
    int64_t type = st.Int(3);
    info.type = type == 1 ? UploadType::File : type == 2 ? UploadType::Video : UploadType::Screenshot;
    info.ext = st.Text(4);
    info.displayName = st.Text(5);
    info.size = static_cast<uint64_t>(st.Int(6));
    info.storedName = st.Text(7);
    info.createdAt = st.Int(8);
    return info;
}

bool MakeFolder(const std::string& path, std::string* error) {
    if (::mkdir(path.c_str(), 0750) == 0 || errno == EEXIST) {
        struct stat st{};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    }
    if (error) *error = "cannot create folder " + path + ": " + std::strerror(errno);
    return false;
}

// Stored names are "<day code>/<uid>-<random>"; anything else is refused when read.
bool IsStoredName(const std::string& name) {
    if (name.size() < 4 || name[2] != '/') return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (i == 2) continue;
        if (!IsIdChar(name[i]) && name[i] != '-') return false;
    }
    return true;
}

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name.size() > 128 || name[0] == '.') return false;
    for (char c : name) {
        if (!IsIdChar(c) && c != '.' && c != '-' && c != '_') return false;
    }
    return true;
}

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace

// A read connection borrowed from the pool for one query.
class Storage::ReadLease {
public:
    explicit ReadLease(Storage& storage) : m_storage(storage), m_db(storage.BorrowReader()) {}
    ~ReadLease() {
        if (m_db) m_storage.ReturnReader(std::move(m_db));
    }
    Database* get() const { return m_db.get(); }

private:
    Storage& m_storage;
    std::unique_ptr<Database> m_db;
};

Storage::Storage(std::string dataDir)
    : m_dataDir(std::move(dataDir)),
      m_filesDir(m_dataDir + "/files"),
      m_tmpDir(m_dataDir + "/tmp"),
      m_dbPath(m_dataDir + "/brivane.db") {}

Storage::~Storage() = default;

std::unique_ptr<Storage> Storage::Open(const std::string& dataDir, std::string* error) {
    std::string dir = dataDir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    std::unique_ptr<Storage> storage(new Storage(dir));
    if (!storage->Init(error)) return nullptr;
    return storage;
}

bool Storage::Init(std::string* error) {
    if (!MakeFolder(m_dataDir, error) || !MakeFolder(m_filesDir, error) || !MakeFolder(m_tmpDir, error))
        return false;
    // Whatever is in tmp/ was being received when the service stopped: never complete.
    if (DIR* d = ::opendir(m_tmpDir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0)
                ::unlink((m_tmpDir + "/" + name).c_str());
        }
        ::closedir(d);
    }
    m_writer = Database::Open(m_dbPath, error);
    if (!m_writer) return false;
    if (m_writer->QueryText("PRAGMA journal_mode=WAL") != "wal") {
        if (error) *error = "cannot switch " + m_dbPath + " to WAL mode: " + m_writer->LastError();
        return false;
    }
    m_writer->Exec("PRAGMA synchronous=FULL");
    for (const char* sql : kSchema) {
        if (!m_writer->Exec(sql)) {
            if (error) *error = "cannot create the schema in " + m_dbPath + ": " + m_writer->LastError();
            return false;
        }
    }
    return true;
}

std::unique_ptr<Database> Storage::BorrowReader() {
    {
        std::lock_guard<std::mutex> lock(m_readMutex);
        if (!m_readers.empty()) {
            auto db = std::move(m_readers.back());
            m_readers.pop_back();
            return db;
        }
    }
    auto db = Database::Open(m_dbPath, nullptr);
    if (db) db->Exec("PRAGMA query_only=1");
    return db;
}

void Storage::ReturnReader(std::unique_ptr<Database> db) {
    std::lock_guard<std::mutex> lock(m_readMutex);
    if (m_readers.size() < kMaxIdleReaders) m_readers.push_back(std::move(db));
}

std::vector<std::string> Storage::IssueUids(size_t count, const std::string& appId) {
    std::vector<std::string> uids;
    std::lock_guard<std::mutex> lock(m_writeMutex);
    if (!m_writer->Exec("BEGIN IMMEDIATE")) return uids;
    int64_t now = Now();
    for (size_t attempts = 0; uids.size() < count && attempts < count * 4; ++attempts) {
        std::string uid = NewUid();
        Statement used(m_writer->Handle(), "SELECT 1 FROM uploads WHERE uid = ?1 LIMIT 1");
        used.Bind(1, uid);
        if (used.Step()) continue;
        if (used.Failed()) break;
        Statement insert(m_writer->Handle(),
                         "INSERT OR IGNORE INTO issued_uids(uid, app_id, issued_at) VALUES(?1, ?2, ?3)");
        insert.Bind(1, uid);
        if (appId.empty()) insert.BindNull(2); else insert.Bind(2, appId);
        insert.Bind(3, now);
        if (!insert.Run()) break;
        if (m_writer->Changes() == 1) uids.push_back(uid);
    }
    if (!m_writer->Exec("COMMIT")) {
        m_writer->Exec("ROLLBACK");
        uids.clear();
    }
    return uids;
}

Storage::Owner Storage::CheckOwner(int dayNumber, const std::string& uid, const std::string& appId) {
    ReadLease lease(*this);
    if (!lease.get()) return Owner::Free;  // the commit checks again under the write lock
    Owner owner = Owner::Free;
    Statement issued(lease.get()->Cached("SELECT app_id FROM issued_uids WHERE uid = ?1"));
    issued.Bind(1, uid);
    if (issued.Step() && !issued.IsNull(0) && issued.Text(0) != appId) return Owner::Other;
    Statement row(lease.get()->Cached("SELECT app_id FROM uploads WHERE day = ?1 AND uid = ?2"));
    row.Bind(1, dayNumber).Bind(2, uid);
    if (row.Step()) owner = row.Text(0) == appId ? Owner::Same : Owner::Other;
    return owner;
}

Storage::Commit Storage::CommitUpload(const UploadMeta& meta, TempFile& file, std::string* error) {
    std::lock_guard<std::mutex> lock(m_writeMutex);
    Database& db = *m_writer;
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        db.Exec("ROLLBACK");
        return Commit::Failed;
    };
    if (!db.Exec("BEGIN IMMEDIATE")) {
        if (error) *error = "cannot begin a transaction: " + db.LastError();
        return Commit::Failed;
    }
    {
        Statement issued(db.Handle(), "SELECT app_id FROM issued_uids WHERE uid = ?1");
        issued.Bind(1, meta.uid);
        if (issued.Step() && !issued.IsNull(0) && issued.Text(0) != meta.appId) {
            db.Exec("ROLLBACK");
            return Commit::OtherOwner;
        }
        if (issued.Failed()) return fail("cannot read issued identifiers: " + db.LastError());
    }
    std::string oldStored;
    int64_t createdAt = Now();
    {
        Statement row(db.Handle(), "SELECT app_id, stored_name, created_at FROM uploads WHERE day = ?1 AND uid = ?2");
        row.Bind(1, meta.dayNumber).Bind(2, meta.uid);
        if (row.Step()) {
            if (row.Text(0) != meta.appId) {
                db.Exec("ROLLBACK");
                return Commit::OtherOwner;
            }
            oldStored = row.Text(1);
            createdAt = row.Int(2);
        } else if (row.Failed()) {
            return fail("cannot read uploads: " + db.LastError());
        }
    }
    std::string dayCode = EncodeDayCode(meta.dayNumber);
    std::string dayFolder = m_filesDir + "/" + dayCode;
    if (::mkdir(dayFolder.c_str(), 0750) == 0) SyncFolder(m_filesDir);
    std::string stored = dayCode + "/" + meta.uid + "-" + NewUid();
    std::string target = m_filesDir + "/" + stored;
    if (!file.MoveTo(target)) return fail(file.Error());
    Statement upsert(db.Handle(),
                     "INSERT INTO uploads(day, uid, app_id, upload_type, ext, display_name, size, stored_name,"
                     " created_at, updated_at) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
                     " ON CONFLICT(day, uid) DO UPDATE SET upload_type = excluded.upload_type,"
                     " ext = excluded.ext, display_name = excluded.display_name, size = excluded.size,"
                     " stored_name = excluded.stored_name, updated_at = excluded.updated_at");
    upsert.Bind(1, meta.dayNumber).Bind(2, meta.uid).Bind(3, meta.appId)
        .Bind(4, static_cast<int64_t>(meta.type)).Bind(5, meta.ext).Bind(6, meta.displayName)
        .Bind(7, static_cast<int64_t>(file.Size())).Bind(8, stored).Bind(9, createdAt).Bind(10, Now());
    if (!upsert.Run() || !db.Exec("COMMIT")) {
        std::string why = "cannot record the upload: " + db.LastError();
        ::unlink(target.c_str());
        return fail(why);
    }
    if (!oldStored.empty() && IsStoredName(oldStored)) ::unlink((m_filesDir + "/" + oldStored).c_str());
    return Commit::Stored;
}

std::optional<UploadInfo> Storage::FindUpload(int dayNumber, const std::string& uid) {
    ReadLease lease(*this);
    if (!lease.get()) return std::nullopt;
    static const std::string sql = std::string("SELECT ") + kUploadColumns + " FROM uploads WHERE day = ?1 AND uid = ?2";
    Statement st(lease.get()->Cached(sql.c_str()));
    st.Bind(1, dayNumber).Bind(2, uid);
    if (!st.Step()) return std::nullopt;
    return ReadUpload(st);
}

std::vector<UploadInfo> Storage::ListUploads(const std::string& appId, size_t limit) {
    std::vector<UploadInfo> list;
    ReadLease lease(*this);
    if (!lease.get()) return list;
    static const std::string sql = std::string("SELECT ") + kUploadColumns +
                                   " FROM uploads WHERE app_id = ?1 ORDER BY created_at DESC, id DESC LIMIT ?2";
    Statement st(lease.get()->Cached(sql.c_str()));
    st.Bind(1, appId).Bind(2, static_cast<int64_t>(limit));
    while (st.Step()) list.push_back(ReadUpload(st));
    return list;
}

std::string Storage::FilePath(const UploadInfo& info) const {
    if (!IsStoredName(info.storedName)) return std::string();
    return m_filesDir + "/" + info.storedName;
}

bool Storage::AddEvent(const AnalyticsEvent& e, int64_t receivedAt) {
    std::lock_guard<std::mutex> lock(m_writeMutex);
    Statement st(m_writer->Handle(),
                 "INSERT INTO events(received_at, v, t, tid, cid, ec, ea, el, ev, an, av)"
                 " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    st.Bind(1, receivedAt).Bind(2, e.v).Bind(3, e.t).Bind(4, e.tid).Bind(5, e.cid).Bind(6, e.ec)
        .Bind(7, e.ea).Bind(8, e.el).Bind(9, e.ev).Bind(10, e.an).Bind(11, e.av);
    return st.Run();
}

std::vector<StoredEvent> Storage::ListEvents(size_t limit, const std::string& cid) {
    std::vector<StoredEvent> list;
    ReadLease lease(*this);
    if (!lease.get()) return list;
    const char* sql = cid.empty()
        ? "SELECT id, received_at, v, t, tid, cid, ec, ea, el, ev, an, av FROM events ORDER BY id DESC LIMIT ?1"
        : "SELECT id, received_at, v, t, tid, cid, ec, ea, el, ev, an, av FROM events WHERE cid = ?2"
          " ORDER BY id DESC LIMIT ?1";
    Statement st(lease.get()->Cached(sql));
    st.Bind(1, static_cast<int64_t>(limit));
    if (!cid.empty()) st.Bind(2, cid);
    while (st.Step()) {
        StoredEvent s;
        s.id = st.Int(0);
        s.receivedAt = st.Int(1);
        AnalyticsEvent& e = s.event;
        e.v = st.Text(2); e.t = st.Text(3); e.tid = st.Text(4); e.cid = st.Text(5); e.ec = st.Text(6);
        e.ea = st.Text(7); e.el = st.Text(8); e.ev = st.Text(9); e.an = st.Text(10); e.av = st.Text(11);
        list.push_back(std::move(s));
    }
    return list;
}

std::unique_ptr<TempFile> Storage::CreateTempFile(std::string* error) { return TempFile::Create(m_tmpDir, error); }

size_t Storage::RemoveUnreferencedFiles(int64_t olderThan, const std::atomic<bool>& stop) {
    size_t removed = 0;
    DIR* days = ::opendir(m_filesDir.c_str());
    if (!days) return 0;
    while (dirent* day = ::readdir(days)) {
        std::string dayName = day->d_name;
        if (dayName.size() != 2 || DecodeDayCode(dayName) < 0) continue;
        std::string folder = m_filesDir + "/" + dayName;
        DIR* d = ::opendir(folder.c_str());
        if (!d) continue;
        while (dirent* e = ::readdir(d)) {
            if (stop.load()) break;
            std::string stored = dayName + "/" + e->d_name;
            if (!IsStoredName(stored)) continue;
            std::string path = m_filesDir + "/" + stored;
            struct stat st{};
            if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_mtime >= olderThan) continue;
            ReadLease lease(*this);
            if (!lease.get()) break;
            Statement used(lease.get()->Cached("SELECT 1 FROM uploads WHERE stored_name = ?1 LIMIT 1"));
            used.Bind(1, stored);
            bool referenced = used.Step();
            if (!referenced && !used.Failed() && ::unlink(path.c_str()) == 0) ++removed;
        }
        ::closedir(d);
        if (stop.load()) break;
    }
    ::closedir(days);
    return removed;
}

std::string Storage::LatestDownload() const {
    std::string folder = m_dataDir + "/download";
    std::string best;
    time_t bestTime = 0;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (!IsPlainFileName(name)) continue;
            struct stat st{};
            if (::stat((folder + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            if (best.empty() || st.st_mtime > bestTime || (st.st_mtime == bestTime && name > best)) {
                best = name;
                bestTime = st.st_mtime;
            }
        }
        ::closedir(d);
    }
    return best;
}

std::string Storage::DownloadPath(const std::string& name) const {
    if (!IsPlainFileName(name)) return std::string();
    return m_dataDir + "/download/" + name;
}

}  // namespace service
