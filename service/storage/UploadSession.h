#pragma once
#include "service/logic/UploadFields.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace service {

class Storage;
class TempFile;

// Receives one multipart upload part by part, as the HTTP layer reads it: the text
// fields are collected (each capped), the file part is streamed into a temporary file
// (never held in memory) and counted against the size limit. Any callback returning
// false tells the reader to stop reading. Finish checks everything and commits.
class UploadSession {
public:
    UploadSession(Storage& storage, uint64_t maxFileSize);
    ~UploadSession();

    bool OnPart(const std::string& name);
    bool OnData(const char* data, size_t size);

    enum class Outcome { Stored, TooLarge, Malformed, Incomplete, OtherOwner, StoreFailed };
    struct Result {
        Outcome outcome = Outcome::Malformed;
        std::string detail;  // for the log; never shown with outside text in it
        UploadMeta meta;
        uint64_t size = 0;
    };
    // readOk: whether the whole body was read and was well-formed multipart.
    Result Finish(bool readOk);

private:
    enum class Part { None, Field, File, Ignored };
    bool Stop(Outcome outcome, const std::string& detail);
    // Once every text field has arrived: checks them and the owner before the file is
    // written, so a refused upload costs no disk.
    bool CheckFieldsEarly();

    Storage& m_storage;  // not owned
    uint64_t m_maxFileSize;
    std::map<std::string, std::string> m_fields;
    std::string m_currentField;
    Part m_part = Part::None;
    std::unique_ptr<TempFile> m_file;
    bool m_fileSeen = false;
    uint64_t m_ignoredBytes = 0;
    bool m_stopped = false;
    Result m_stop;
};

}  // namespace service
