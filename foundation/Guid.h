#pragma once
#include <string>

// A new GUID as 38 wide characters: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with
// upper-case hexadecimal digits. On Windows from CoCreateGuid; when that fails, and in
// the native build, from RandomGuidString.
std::wstring GenerateGuidString();

// The same shape with every digit drawn independently from the system's cryptographic
// random source.
std::wstring RandomGuidString();
