#pragma once
#include <string>
#include <vector>

// The Windows C runtime's rules for the argument text after the program name: blanks
// and tabs separate arguments outside double quotes; 2n backslashes before a quote give
// n backslashes and the quote opens or closes a quoted part; 2n+1 backslashes before a
// quote give n backslashes and a literal quote; other backslashes are literal; inside a
// quoted part two quotes give one literal quote.
std::vector<std::wstring> SplitProcessArguments(const std::wstring& text);

// One argument in double quotes, escaped so that SplitProcessArguments (and a Windows
// child) reads it back unchanged, whatever it holds.
std::wstring QuoteProcessArgument(const std::wstring& argument);
