#include "foundation/DayCode.h"

namespace {

int DaysBeforeMonth(int month) {
    static const int kDays[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    return kDays[month - 1];
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days since a fixed origin; leap days are counted up to the year before when the
// date lies in January or February.
long DayOrdinal(int day, int month, int year) {
    int y = month <= 2 ? year - 1 : year;
    return 365L * year + day + DaysBeforeMonth(month) + y / 4 - y / 100 + y / 400;
}

int AlphabetIndex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 36;
    return -1;
}

}  // namespace

int DayNumberSince2020(int day, int month, int year) {
    if (month < 1 || month > 12) return -1;
    return static_cast<int>(DayOrdinal(day, month, year) - DayOrdinal(1, 1, 2020));
}

bool IsValidDate(int day, int month, int year) {
    if (month < 1 || month > 12 || day < 1) return false;
    static const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int last = kMonthDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    return day <= last;
}

std::string EncodeDayCode(int dayNumber) {
    if (dayNumber < 0 || dayNumber > kMaxDayNumber) return std::string();
    std::string code(2, '0');
    code[0] = kDayCodeAlphabet[dayNumber / 62];
    code[1] = kDayCodeAlphabet[dayNumber % 62];
    return code;
}

int DecodeDayCode(std::string_view code) {
    if (code.size() != 2) return -1;
    int hi = AlphabetIndex(code[0]);
    int lo = AlphabetIndex(code[1]);
    if (hi < 0 || lo < 0) return -1;
    return hi * 62 + lo;
}
