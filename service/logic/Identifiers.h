#pragma once
#include <optional>
#include <string>
#include <string_view>

// Validation of every identifier the program sends. Whatever passes these checks is
// made only of the characters named here, so it is safe in file names, links, HTML
// and log lines.
namespace service {

// The alphabet of identifiers and day codes.
constexpr char kIdAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Identifiers issued by the service are this long; the program's own stand-in
// identifiers are 8 characters.
constexpr size_t kIssuedUidLength = 10;
constexpr size_t kMinUidLength = 6;
constexpr size_t kMaxUidLength = 32;

bool IsIdChar(char c);

// An upload identifier: kMinUidLength..kMaxUidLength characters of kIdAlphabet.
bool IsUid(std::string_view uid);

// An installation id is a GUID, with or without braces, in either case. Returns the
// canonical form (braces, upper case), or nothing when the text is not a GUID.
std::optional<std::string> NormalizeAppId(std::string_view text);

// The server name of an upload, "ddmmyy/uid" (the UTC date the program made the link on).
struct ServerName {
    int dayNumber = 0;  // days since 1 January 2020, within the two-character day codes
    std::string uid;
};

// Nothing when the text is not six digits of a real date from 1 January 2020 to the
// last day a day code can carry, a slash and an identifier.
std::optional<ServerName> ParseServerName(std::string_view text);

constexpr size_t kMaxExtLength = 32;

// The program sends "" or "." plus the extension. Returns the extension without the
// dot ("" for none), or nothing when it holds anything but letters, digits, '_', '-',
// '+' and '~' (so no separators, no dots, no "..").
std::optional<std::string> NormalizeFileExt(std::string_view text);

enum class UploadType { Screenshot = 0, File = 1, Video = 2 };

// "0", "1" or "2"; nothing otherwise.
std::optional<UploadType> ParseUploadType(std::string_view text);

// The short-link letter of an upload type: 's', 'f' or 'v'.
char TypeLetter(UploadType type);

// Nothing for a character other than 's', 'f' and 'v'.
std::optional<UploadType> TypeFromLetter(char letter);

}  // namespace service
