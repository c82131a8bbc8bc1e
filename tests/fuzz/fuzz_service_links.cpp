// Short links, server names, installation ids and extensions from arbitrary bytes:
// whatever is accepted must be made only of the identifier alphabet and round-trip.
#include "foundation/DayCode.h"
#include "service/logic/Identifiers.h"
#include "service/logic/ShortLink.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace service;

static void Require(bool ok) {
    if (!ok) std::abort();
}

static bool AllIdChars(const std::string& s) {
    for (char c : s) {
        if (!IsIdChar(c)) return false;
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    if (auto link = ParseShortLinkPath(text)) {
        Require(AllIdChars(link->uid) && IsUid(link->uid));
        std::string page = ShortLinkPath(link->type, link->dayNumber, link->uid);
        Require(text.compare(0, page.size(), page) == 0);
        Require(link->ext.find('.') == std::string::npos && link->ext.find('/') == std::string::npos);
    }
    if (auto name = ParseServerName(text)) {
        Require(AllIdChars(name->uid));
        Require(EncodeDayCode(name->dayNumber).size() == 2);
    }
    if (auto id = NormalizeAppId(text)) Require(id->size() == 38 && NormalizeAppId(*id) == id);
    if (auto ext = NormalizeFileExt(text)) {
        Require(ext->find('.') == std::string::npos && ext->find('/') == std::string::npos &&
                ext->find('\\') == std::string::npos);
    }
    if (size >= 2) {
        int day = DecodeDayCode(text.substr(0, 2));
        if (day >= 0) Require(EncodeDayCode(day) == text.substr(0, 2));
    }
    return 0;
}
