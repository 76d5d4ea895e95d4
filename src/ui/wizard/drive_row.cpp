#include "ui/wizard/drive_row.h"

#include <QFile>
#include <array>

#include "volume/format/boot_sector.h"
#include "volume/host/drive_description.h"

namespace quorvane::ui {
namespace {

// A control character in a label or mount point (a desktop names the mount
// point after the label) would break the row.
QString OneLine(QString text) {
  for (QChar& c : text)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = u'?';
  return text;
}

// UDisks2 gives labels as UTF-8; a boot sector keeps bytes of the system's
// code page, shown as Latin-1 like every other byte string of the volume.
QString LabelText(const std::string& label) {
  const QString utf8 = QString::fromUtf8(label.data(), qsizetype(label.size()));
  if (!utf8.contains(QChar::ReplacementCharacter)) return OneLine(utf8);
  return OneLine(QString::fromLatin1(label.data(), qsizetype(label.size())));
}

QString HostPathText(const std::string& path) {
  return OneLine(QFile::decodeName(QByteArray(path.data(), qsizetype(path.size()))));
}

}  // namespace

DriveSummary ReadDriveSummary(DriveTable& drives, DriveSource& through, int32_t drive) {
  DriveSummary summary = SummarizeDrive(drives, drive);
  // Only UDisks2 tells a volume's size; for an image or a device mapped by
  // path it is what the boot sector counts (none for exFAT, whose count
  // lies elsewhere).
  if (summary.size == 0 && DriveRowUsable(summary)) {
    if (auto device = through.OpenDrive(drive)) {
      std::array<uint8_t, BootSector::kSize> sector{};
      if (device->ReadAt(0, sector) == 0) {
        if (const auto boot = BootSector::Parse(sector))
          summary.size = uint64_t{boot->totalSectors} * boot->bytesPerSector;
      }
    }
  }
  return summary;
}

bool DriveRowUsable(const DriveSummary& summary) {
  return summary.problem.empty() && !summary.family.empty();
}

QString DriveRowProblem(const DriveSummary& summary) {
  if (DriveRowUsable(summary)) return {};
  if (summary.problem.empty()) return QStringLiteral("cannot be read");
  // An open's failure names the path, which the row shows anyway.
  std::string problem = summary.problem;
  const std::string named = summary.source + ": ";
  if (!summary.source.empty() && problem.starts_with(named) && problem.size() > named.size())
    problem.erase(0, named.size());
  return QFile::decodeName(QByteArray(problem.data(), qsizetype(problem.size())));
}

QString DriveRowText(const DriveSummary& summary) {
  QString row = QStringLiteral("%1:").arg(QChar(u'A' + summary.drive - 1));
  const auto add = [&row](const QString& field) {
    if (!field.isEmpty()) row += QStringLiteral("  ") + field;
  };
  if (DriveRowUsable(summary)) {
    add(LabelText(summary.label));
    add(QString::fromStdString(summary.family));
  } else {
    add(OneLine(DriveRowProblem(summary)));
  }
  if (summary.size != 0) add(QString::fromStdString(SizeText(summary.size)));
  add(HostPathText(summary.source));
  for (const std::string& mount_point : summary.mountPoints) add(HostPathText(mount_point));
  return row;
}

}  // namespace quorvane::ui
