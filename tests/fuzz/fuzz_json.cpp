// JSON text as any bytes: the parser must never crash, hang or recurse without bound,
// and whatever it accepts must write out to text that reads back to the same text.
// Bytes are UTF-8 (malformed sequences become U+FFFD); an input starting with 0xFE is
// taken as raw 16-bit units instead, to reach nulls and lone surrogates directly.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "foundation/Json.h"
#include "foundation/Utf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    if (size > 0 && data[0] == 0xFE) {
        for (size_t i = 1; i + 1 < size; i += 2) {
            text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        }
    } else {
        text = Utf8ToWideLenient(std::string(reinterpret_cast<const char*>(data), size));
    }
    std::unique_ptr<JsonValue> root = Json::Parse(text);
    if (!root) return 0;
    const std::wstring written = root->Stringify();
    std::unique_ptr<JsonValue> again = Json::Parse(written);
    if (!again) std::abort();   // the writer produced text the parser refuses
    // Numbers settle after one pass (six significant digits), so the second writing is
    // the fixed point.
    const std::wstring rewritten = again->Stringify();
    std::unique_ptr<JsonValue> third = Json::Parse(rewritten);
    if (!third || third->Stringify() != rewritten) std::abort();
    return 0;
}
