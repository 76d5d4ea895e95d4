#include "ui/wizard/drive_row.h"

#include <QFile>

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

bool DriveRowUsable(const DriveSummary& summary) {
  return summary.problem.empty() && !summary.family.empty();
}

QString DriveRowProblem(const DriveSummary& summary) {
  if (DriveRowUsable(summary)) return {};
  if (summary.problem.empty()) return QStringLiteral("cannot be read");
  return QFile::decodeName(QByteArray(summary.problem.data(), qsizetype(summary.problem.size())));
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
  if (summary.partition != 0) add(QStringLiteral("partition %1").arg(summary.partition));
  for (const std::string& mount_point : summary.mountPoints) add(HostPathText(mount_point));
  return row;
}

}  // namespace quorvane::ui
