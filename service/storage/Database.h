#pragma once
#include <memory>
#include <string>

#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace service {

// One SQLite connection; closed on destruction. Used by one thread at a time.
class Database {
public:
    // Opens (creating when missing) the database file, with a busy time-out so that
    // concurrent connections wait for each other instead of failing.
    static std::unique_ptr<Database> Open(const std::string& path, std::string* error);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs one fixed statement without parameters (schema, pragmas, transactions).
    bool Exec(const char* sql);
    // The first column of the first row of a fixed statement, as text ("" when none).
    std::string QueryText(const char* sql);

    // A prepared statement kept for the life of the connection (for the frequent
    // reads); nullptr when it cannot be prepared. Wrap it in a Statement.
    sqlite3_stmt* Cached(const char* sql);

    std::string LastError() const;
    int64_t Changes() const;
    sqlite3* Handle() const { return m_db; }

private:
    explicit Database(sqlite3* db) : m_db(db) {}
    sqlite3* m_db;
    std::unordered_map<std::string, sqlite3_stmt*> m_cache;
};

}  // namespace service
