#include "arjenc/dos_time.h"

namespace arjenc {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kDosEpochYear = 1980;
constexpr int kDosLastYear = 2107;

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t days, int *year, unsigned *month, unsigned *day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *day = doy - (153 * mp + 2) / 5 + 1;
  *month = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2 ? 1 : 0));
}

std::uint32_t Pack(int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                   unsigned second) {
  const std::uint32_t date =
      static_cast<std::uint32_t>(year - kDosEpochYear) << 9 | month << 5 | day;
  const std::uint32_t time = hour << 11 | minute << 5 | second / 2;
  return date << 16 | time;
}

}  // namespace

std::uint32_t DosTimeUtc(std::int64_t unix_seconds) {
  std::int64_t days = unix_seconds / kSecondsPerDay;
  std::int64_t rest = unix_seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  int year;
  unsigned month, day;
  CivilFromDays(days, &year, &month, &day);
  if (year < kDosEpochYear) return Pack(kDosEpochYear, 1, 1, 0, 0, 0);
  if (year > kDosLastYear) return Pack(kDosLastYear, 12, 31, 23, 59, 58);
  const unsigned secs = static_cast<unsigned>(rest);
  return Pack(year, month, day, secs / 3600, secs / 60 % 60, secs % 60);
}

}  // namespace arjenc
