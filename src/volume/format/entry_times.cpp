#include "volume/format/entry_times.h"

#include <cstdlib>
#include <ctime>

#include "volume/format/dir_entry.h"
#include "volume/format/exfat_entry_set.h"

namespace quorvane {

int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

std::optional<int64_t> LocalDosTime(uint16_t date, uint16_t time, int extra_ms) {
  const int day = date & 0x1F, month = date >> 5 & 0x0F, year = 1980 + (date >> 9);
  const int second = (time & 0x1F) * 2 + extra_ms / 1000, minute = time >> 5 & 0x3F, hour = time >> 11;
  if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 61)
    return std::nullopt;
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;  // the zone's rule for that day decides
  const std::time_t seconds = std::mktime(&local);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<int64_t>(seconds);
}

EntryTimes FatEntryTimes(const DirEntry& entry) {
  EntryTimes times;
  times.modified = LocalDosTime(entry.writeDate, entry.writeTime);
  times.accessed = LocalDosTime(entry.accessDate, 0);
  // A creation time of all zeroes was never set (mtools leaves none).
  if (entry.createDate != 0)
    times.created = LocalDosTime(entry.createDate, entry.createTime, entry.createTenths * 10);
  return times;
}

namespace {
std::optional<int64_t> ExFatTime(const ExFatTimestamp& stamp) {
  if (stamp.UtcOffsetMinutes()) return stamp.UnixSeconds();
  return LocalDosTime(static_cast<uint16_t>(stamp.packed >> 16), static_cast<uint16_t>(stamp.packed),
                      stamp.tenMs * 10);
}
}  // namespace

EntryTimes ExFatEntryTimes(const ExFatFileSet& set) {
  return {ExFatTime(set.modified), ExFatTime(set.accessed), ExFatTime(set.created)};
}

void SettleLocalZone() {
#ifndef _WIN32
  if (std::getenv("TZ") == nullptr) setenv("TZ", ":/etc/localtime", 0);
  tzset();
#else
  _tzset();
#endif
}

}  // namespace quorvane
