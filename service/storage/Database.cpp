#include "service/storage/Database.h"

#include "service/storage/Statement.h"

#include <sqlite3.h>

#include <mutex>

namespace service {

namespace {

// SQLite counts every allocation under one process-wide lock unless told not to; with
// many request threads reading at once that lock is what they all wait for.
void ConfigureOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        sqlite3_initialize();
    });
}

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, std::string* error) {
    ConfigureOnce();
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        if (error) *error = std::string("cannot open ") + path + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 10000);
    sqlite3_extended_result_codes(db, 1);
    return std::unique_ptr<Database>(new Database(db));
}

Database::~Database() {
    for (auto& entry : m_cache) sqlite3_finalize(entry.second);
    sqlite3_close(m_db);
}

sqlite3_stmt* Database::Cached(const char* sql) {
    auto it = m_cache.find(sql);
    if (it != m_cache.end()) return it->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    m_cache.emplace(sql, stmt);
    return stmt;
}

bool Database::Exec(const char* sql) {
    Statement st(m_db, sql);
    return st.Ok() && st.Run();
}

std::string Database::QueryText(const char* sql) {
    Statement st(m_db, sql);
    if (st.Ok() && st.Step()) return st.Text(0);
    return std::string();
}

std::string Database::LastError() const { return sqlite3_errmsg(m_db); }

int64_t Database::Changes() const { return sqlite3_changes(m_db); }

}  // namespace service
