#pragma once
// Natural order of device paths: runs of digits compare by their numbers,
// everything else byte by byte, so /dev/sda1 < /dev/sdb1 < /dev/sdb2 <
// /dev/sdb10 and /dev/mmcblk0p2 < /dev/mmcblk0p10.
#include <string_view>

namespace quorvane {

// True when `a` comes before `b` in natural order; texts that differ only in
// leading zeros are then ordered byte by byte, so the order is total.
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace quorvane
