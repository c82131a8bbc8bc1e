#pragma once
#include <string>
#include <string_view>

// Day codes of short links, made by the program and read back by the web service:
// the number of days from 1 January 2020 to a UTC date, written as two characters of
// the 62-character alphabet (first character n / 62, second n % 62). Two characters
// cover day 0 (2020-01-01) to day 3843 (2030-07-10).

constexpr char kDayCodeAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kMaxDayNumber = 62 * 62 - 1;

// Days between 1 January 2020 and the given date (negative before it), -1 for a
// month outside 1..12. The day is not checked; see IsValidDate.
int DayNumberSince2020(int day, int month, int year);

// True for a real calendar date (Gregorian leap years).
bool IsValidDate(int day, int month, int year);

// The two-character code of a day number, or "" when it is outside 0..kMaxDayNumber.
std::string EncodeDayCode(int dayNumber);

// The day number of a two-character code, or -1 when the text is not such a code.
int DecodeDayCode(std::string_view code);
