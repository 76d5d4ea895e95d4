#pragma once
// A drive as the volume folder chooser shows it, on one row, so that the
// person can tell which card it is:
//
//   C:  CARD  FAT32  14.8 GiB  /dev/sdb1  /media/alice/CARD
//
// its letter, the volume's label and family, its size, the image or device
// it is on and where it is mounted, leaving out what is not known; for a
// volume that cannot be read or holds no FAT or exFAT volume, why, in
// place of the label and family.
#include <QString>
#include <cstdint>

#include "volume/host/drive_summary.h"

namespace quorvane::ui {

// The drive's summary, read as a worker reads it: it opens the volume, which
// may wait for a password. `through` reaches the same volumes as `drives`.
DriveSummary ReadDriveSummary(DriveTable& drives, DriveSource& through, int32_t drive);

// Whether the chooser may list the drive's directories.
bool DriveRowUsable(const DriveSummary& summary);
// Why the drive cannot be used; empty when it can.
QString DriveRowProblem(const DriveSummary& summary);
QString DriveRowText(const DriveSummary& summary);

}  // namespace quorvane::ui
