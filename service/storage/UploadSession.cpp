#include "service/storage/UploadSession.h"

#include "service/storage/Storage.h"
#include "service/storage/TempFile.h"

namespace service {
namespace {

constexpr uint64_t kMaxIgnoredBytes = 64 * 1024;

bool IsUploadField(const std::string& name) {
    for (const char* field : kUploadFieldNames) {
        if (name == field) return true;
    }
    return false;
}

}  // namespace

UploadSession::UploadSession(Storage& storage, uint64_t maxFileSize)
    : m_storage(storage), m_maxFileSize(maxFileSize) {}

UploadSession::~UploadSession() = default;

bool UploadSession::Stop(Outcome outcome, const std::string& detail) {
    if (!m_stopped) {
        m_stopped = true;
        m_stop.outcome = outcome;
        m_stop.detail = detail;
    }
    m_file.reset();  // deletes the temporary file
    return false;
}

bool UploadSession::CheckFieldsEarly() {
    for (const char* field : kUploadFieldNames) {
        if (m_fields.find(field) == m_fields.end()) return true;  // decided in Finish
    }
    std::string error;
    UploadMeta meta;
    if (!ValidateUploadFields(m_fields, meta, &error)) return Stop(Outcome::Malformed, error);
    if (m_storage.CheckOwner(meta.dayNumber, meta.uid, meta.appId) == Storage::Owner::Other)
        return Stop(Outcome::OtherOwner, "identifier belongs to another installation");
    return true;
}

bool UploadSession::OnPart(const std::string& name) {
    if (m_stopped) return false;
    if (name == kUploadFileField) {
        if (m_fileSeen) return Stop(Outcome::Malformed, "more than one userfile");
        m_fileSeen = true;
        if (!CheckFieldsEarly()) return false;
        std::string error;
        m_file = m_storage.CreateTempFile(&error);
        if (!m_file) return Stop(Outcome::StoreFailed, error);
        m_part = Part::File;
    } else if (IsUploadField(name)) {
        if (m_fields.count(name)) return Stop(Outcome::Malformed, "repeated field " + name);
        m_fields[name];
        m_currentField = name;
        m_part = Part::Field;
    } else {
        m_part = Part::Ignored;
    }
    return true;
}

bool UploadSession::OnData(const char* data, size_t size) {
    if (m_stopped) return false;
    switch (m_part) {
        case Part::File:
            if (m_file->Size() + size > m_maxFileSize) return Stop(Outcome::TooLarge, "file over the size limit");
            if (!m_file->Write(data, size)) return Stop(Outcome::StoreFailed, m_file->Error());
            return true;
        case Part::Field: {
            std::string& value = m_fields[m_currentField];
            if (value.size() + size > kMaxFieldBytes) return Stop(Outcome::Malformed, "field too long: " + m_currentField);
            value.append(data, size);
            return true;
        }
        case Part::Ignored:
        case Part::None:
            m_ignoredBytes += size;
            if (m_ignoredBytes > kMaxIgnoredBytes) return Stop(Outcome::Malformed, "too much data outside the fields");
            return true;
    }
    return true;
}

UploadSession::Result UploadSession::Finish(bool readOk) {
    if (m_stopped) {
        m_file.reset();
        return m_stop;
    }
    if (!readOk) {
        Stop(Outcome::Incomplete, "incomplete or malformed multipart body");
        return m_stop;
    }
    Result result;
    if (!m_file) {
        Stop(Outcome::Malformed, "missing userfile");
        return m_stop;
    }
    std::string error;
    if (!ValidateUploadFields(m_fields, result.meta, &error)) {
        Stop(Outcome::Malformed, error);
        return m_stop;
    }
    result.size = m_file->Size();
    if (!m_file->Finish()) {
        Stop(Outcome::StoreFailed, m_file->Error());
        return m_stop;
    }
    switch (m_storage.CommitUpload(result.meta, *m_file, &error)) {
        case Storage::Commit::Stored:
            result.outcome = Outcome::Stored;
            break;
        case Storage::Commit::OtherOwner:
            result.outcome = Outcome::OtherOwner;
            result.detail = "identifier belongs to another installation";
            break;
        case Storage::Commit::Failed:
            result.outcome = Outcome::StoreFailed;
            result.detail = error;
            break;
    }
    m_file.reset();
    return result;
}

}  // namespace service
