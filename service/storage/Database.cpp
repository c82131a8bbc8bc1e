#include "service/storage/Database.h"

#include "service/storage/Statement.h"

#include <sqlite3.h>

namespace service {

std::unique_ptr<Database> Database::Open(const std::string& path, std::string* error) {
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

Database::~Database() { sqlite3_close(m_db); }

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
