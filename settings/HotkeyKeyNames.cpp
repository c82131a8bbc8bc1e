#include "settings/HotkeyKeyNames.h"

namespace {

std::map<int, std::wstring> BuildKeyNames() {
    std::map<int, std::wstring> names = {
        {8, L"Backspace"}, {9, L"Tab"},      {12, L"Clear"},      {13, L"Enter"},
        {16, L"Shift"},    {17, L"Ctrl"},    {18, L"Alt"},        {19, L"Pause"},
        {32, L"Space"},    {33, L"Page Up"}, {34, L"Page Down"},  {35, L"End"},
        {36, L"Home"},     {37, L"Left"},    {38, L"Up"},         {39, L"Right"},
        {40, L"Down"},     {41, L"Sel"},     {42, L"Print"},      {43, L"Exec"},
        {44, L"PrtScr"},   {45, L"Ins"},     {46, L"Del"},        {47, L"Help"},
        {91, L"LWin"},     {92, L"RWin"},    {93, L"Apps"},       {106, L"Mul"},
        {107, L"Add"},     {108, L"Sep"},    {109, L"Subs"},      {110, L"Dec"},
        {111, L"Div"},     {144, L"Num"},    {145, L"Scroll"},    {160, L"LShift"},
        {161, L"RShift"},  {162, L"LCtrl"},  {163, L"RCtrl"},     {164, L"LAlt"},
        {165, L"RAlt"},
    };
    for (int code = 48; code <= 57; ++code) names[code] = std::wstring(1, wchar_t(L'0' + code - 48));
    for (int code = 65; code <= 90; ++code) names[code] = std::wstring(1, wchar_t(L'A' + code - 65));
    for (int n = 0; n < 24; ++n) names[112 + n] = L"F" + std::to_wstring(n + 1);
    return names;
}

}  // namespace

const std::map<int, std::wstring> g_keyNames = BuildKeyNames();

std::wstring GetKeyName(int virtualKey) {
    auto it = g_keyNames.find(virtualKey);
    return it == g_keyNames.end() ? std::wstring() : it->second;
}

bool IsKnownKey(int virtualKey) {
    return g_keyNames.count(virtualKey) != 0;
}
