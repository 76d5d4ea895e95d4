#include "ui/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace quorvane::ui {
namespace {

// The platform's MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits DialogUnits::FromFont(const QFont& font) {
  const QFontMetrics metrics(font);
  const int cx = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogUnits{(cx / 26 + 1) / 2, metrics.height()};
}

int DialogUnits::X(int units) const { return MulDiv(units, base_x, 4); }
int DialogUnits::Y(int units) const { return MulDiv(units, base_y, 8); }

QRect DialogUnits::Rect(int x, int y, int cx, int cy) const {
  return QRect(X(x), Y(y), X(cx), Y(cy));
}

QFont DialogFont() {
  const QStringList families = QFontDatabase::families();
  for (const char* family : {"DejaVu Sans Condensed", "DejaVu Sans"}) {
    if (families.contains(QLatin1String(family))) {
      QFont font{QString::fromLatin1(family)};
      font.setPointSize(8);
      return font;
    }
  }
  QFont font;
  font.setPointSize(8);
  return font;
}

}  // namespace quorvane::ui
