#include "ui/volume_text.h"

#include <QStringDecoder>
#include <algorithm>

namespace quorvane::ui {

QString VolumeText(std::string_view bytes) {
  const auto size = static_cast<qsizetype>(bytes.size());
  const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
  if (!ascii) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(bytes.data(), size));
    if (!utf8.hasError()) return text;
  }
  return QString::fromLatin1(bytes.data(), size);
}

}  // namespace quorvane::ui
