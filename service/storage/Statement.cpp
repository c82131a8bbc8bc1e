#include "service/storage/Statement.h"

#include <sqlite3.h>

namespace service {

Statement::Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        m_failed = true;
    }
}

Statement::Statement(sqlite3_stmt* cached) : m_stmt(cached), m_owned(false), m_failed(cached == nullptr) {}

Statement::~Statement() {
    if (m_owned) {
        sqlite3_finalize(m_stmt);
    } else if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

Statement& Statement::Bind(int index, int64_t value) {
    if (m_stmt && sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK) m_failed = true;
    return *this;
}

Statement& Statement::Bind(int index, const std::string& value) {
    if (m_stmt && sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()),
                                    SQLITE_TRANSIENT) != SQLITE_OK)
        m_failed = true;
    return *this;
}

Statement& Statement::BindNull(int index) {
    if (m_stmt && sqlite3_bind_null(m_stmt, index) != SQLITE_OK) m_failed = true;
    return *this;
}

bool Statement::Step() {
    if (!m_stmt || m_failed) return false;
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) m_failed = true;
    return false;
}

bool Statement::Run() {
    while (Step()) {
    }
    return !m_failed;
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(m_stmt, column); }

std::string Statement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    int size = sqlite3_column_bytes(m_stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size)) : std::string();
}

bool Statement::IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

}  // namespace service
