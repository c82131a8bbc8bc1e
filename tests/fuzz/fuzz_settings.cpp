// settings.json as any bytes: the loader must never crash, and what it writes must
// settle: the second write is final. (One normalisation may still change the first
// write: a hotkey text with no usable key code loads as an empty combination, which is
// written as "", which the next load replaces by the slot's default.)
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/Json.h"
#include "foundation/Utf.h"
#include "settings/SettingsJson.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::wstring text;
    if (!TryUtf8ToWide(bytes, text)) {
        FindAppIdInText(Utf8ToWideLenient(bytes));
        return 0;
    }
    FindAppIdInText(text);
    std::unique_ptr<JsonValue> root = Json::Parse(text);
    if (!root || root->type != JsonType::Object) return 0;
    SettingsLoadContext context;
    context.exeFolder = L"C:\\app";
    context.productVersion = L"1.0";
    context.newGuid = [] { return std::wstring(L"{00000000-0000-0000-0000-000000000000}"); };
    std::vector<SettingsEvent> events;
    SettingsManagerImpl first;
    ReadSettingsJson(*root, context, first, events);
    std::wstring written = WriteSettingsJson(first, events);
    std::unique_ptr<JsonValue> again = Json::Parse(written);
    if (!again) abort();
    SettingsManagerImpl second;
    ReadSettingsJson(*again, context, second, events);
    std::wstring settled = WriteSettingsJson(second, events);
    std::unique_ptr<JsonValue> third = Json::Parse(settled);
    if (!third) abort();
    SettingsManagerImpl last;
    ReadSettingsJson(*third, context, last, events);
    if (WriteSettingsJson(last, events) != settled) abort();
    return 0;
}
