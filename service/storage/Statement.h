#pragma once
#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace service {

// One prepared statement; finalized (or, when cached, reset) on destruction. Values are always bound as
// parameters, never joined into the SQL text. Used by one thread at a time.
class Statement {
public:
    Statement(sqlite3* db, const char* sql);
    // Uses a statement kept by its connection (Database::Cached): reset and cleared on
    // destruction instead of finalized.
    explicit Statement(sqlite3_stmt* cached);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_stmt != nullptr; }

    // Parameters are numbered from 1.
    Statement& Bind(int index, int64_t value);
    Statement& Bind(int index, const std::string& value);
    Statement& BindNull(int index);

    // True while a row is available; false at the end or on an error (see Failed).
    bool Step();
    // Runs to the end; true when no error occurred.
    bool Run();
    bool Failed() const { return m_failed; }

    int64_t Int(int column) const;
    std::string Text(int column) const;
    bool IsNull(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
    bool m_owned = true;
    bool m_failed = false;
};

}  // namespace service
