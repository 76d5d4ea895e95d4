#pragma once
// A drive as the volume folder chooser shows it, on one row, so that the
// person can tell which card it is:
//
//   C:  CARD  FAT32  14.8 GiB  /dev/sdb1  partition 1  /media/alice/CARD
//
// its letter, the volume's label and family, its size, the image or device
// it is on (and which of its partitions), and where it is mounted, leaving
// out what is not known; for a drive that cannot be read or holds no FAT or
// exFAT volume, why, in place of the label and family.
#include <QString>
#include <cstdint>

#include "volume/host/drive_summary.h"

namespace quorvane::ui {

// Whether the chooser may list the drive's directories.
bool DriveRowUsable(const DriveSummary& summary);
// Why the drive cannot be used; empty when it can.
QString DriveRowProblem(const DriveSummary& summary);
QString DriveRowText(const DriveSummary& summary);

}  // namespace quorvane::ui
