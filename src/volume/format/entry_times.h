#pragma once
// A file's times as its directory entry keeps them, as seconds since 1970
// (UTC), for giving them back to a recovered file and for showing them.
#include <cstdint>
#include <optional>

namespace quorvane {

struct DirEntry;
struct ExFatFileSet;

struct EntryTimes {
  std::optional<int64_t> modified;  // last written
  std::optional<int64_t> accessed;  // a date only: midnight of that day
  std::optional<int64_t> created;
};

// FAT keeps local time with no zone: the fields are read in the host's
// local zone. A date that names no day (month 0, day 0) gives no time.
EntryTimes FatEntryTimes(const DirEntry& entry);

// Reads the local zone once for the process, before any thread starts. With
// TZ unset the C library looks at /etc/localtime again at every local-time
// conversion (a search with times converts three for every row); naming
// that file in TZ, which is where it looks anyway, makes it read it once.
void SettleLocalZone();

// exFAT records the offset from UTC a time was taken in; a time without one
// is local time, as on FAT.
EntryTimes ExFatEntryTimes(const ExFatFileSet& set);

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);

// A DOS date and time (2-second steps) as local time, when the date is one.
std::optional<int64_t> LocalDosTime(uint16_t date, uint16_t time, int extra_ms = 0);

}  // namespace quorvane
