#include "service/logic/ShortLink.h"

#include "foundation/DayCode.h"

namespace service {

std::optional<ShortLink> ParseShortLinkPath(std::string_view path) {
    // "/", letter, two day-code characters and at least the shortest identifier.
    if (path.size() < 4 + kMinUidLength || path[0] != '/') return std::nullopt;
    auto type = TypeFromLetter(path[1]);
    if (!type) return std::nullopt;
    int day = DecodeDayCode(path.substr(2, 2));
    if (day < 0) return std::nullopt;
    std::string_view rest = path.substr(4);
    ShortLink link;
    link.type = *type;
    link.dayNumber = day;
    size_t dot = rest.find('.');
    std::string_view uid = rest.substr(0, dot);
    if (!IsUid(uid)) return std::nullopt;
    link.uid = std::string(uid);
    if (dot != std::string_view::npos) {
        std::string_view ext = rest.substr(dot + 1);
        if (ext.empty() || ext.front() == '.' || ext.size() > kMaxExtLength) return std::nullopt;
        auto normal = NormalizeFileExt(ext);
        if (!normal) return std::nullopt;
        link.direct = true;
        link.ext = *normal;
    }
    return link;
}

std::string ShortLinkPath(UploadType type, int dayNumber, const std::string& uid) {
    return std::string("/") + TypeLetter(type) + EncodeDayCode(dayNumber) + uid;
}

}  // namespace service
