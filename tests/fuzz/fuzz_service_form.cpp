// Outside text through the decoders and escapers: analytics forms, Base64 display
// names, UTF-8 sanitising, HTML and JSON escaping. Results must be valid and inert.
#include "service/logic/AnalyticsEvent.h"
#include "service/logic/Base64.h"
#include "service/logic/Html.h"
#include "service/logic/Json.h"
#include "service/logic/Utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace service;

static void Require(bool ok) {
    if (!ok) std::abort();
}

static void RequireSafeText(const std::string& s, size_t max) {
    Require(s.size() <= max);
    Require(SanitizeUtf8(s, max) == s);  // already valid and free of control characters
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    if (auto e = ParseAnalyticsEvent(text, &error)) {
        for (const std::string* f : {&e->v, &e->t, &e->tid, &e->cid, &e->ec, &e->ea, &e->el, &e->ev, &e->an, &e->av})
            RequireSafeText(*f, kMaxEventFieldBytes);
    }
    if (auto decoded = Base64Decode(text)) Require(decoded->size() == text.size() / 4 * 3 - (text.size() && text.back() == '=') - (text.size() > 1 && text[text.size() - 2] == '='));
    RequireSafeText(SanitizeUtf8(text, 512), 512);
    std::string html = HtmlEscape(text);
    Require(html.find_first_of("<>\"'") == std::string::npos);
    std::string json = JsonString(text);
    for (size_t i = 1; i + 1 < json.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(json[i]);
        Require(c >= 0x20 && c != 0x7F && c != '<' && c != '>');
        if (c == '"') Require(json[i - 1] == '\\');
    }
    return 0;
}
