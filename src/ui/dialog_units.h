#pragma once
// Dialog units to pixels, from the dialog font as the platform measures it:
// the average width of the 52 letters and the font's height give the base
// units; a horizontal unit is a quarter of the first, a vertical one an
// eighth of the second.
#include <QFont>
#include <QRect>

namespace quorvane::ui {

struct DialogUnits {
  int base_x = 0;  // average character width in pixels
  int base_y = 0;  // character height in pixels

  static DialogUnits FromFont(const QFont& font);

  int X(int units) const;  // horizontal dialog units to pixels
  int Y(int units) const;  // vertical dialog units to pixels
  QRect Rect(int x, int y, int cx, int cy) const;
};

// The font every dialog is drawn with: DejaVu Sans Condensed 8 where it is
// installed (the metrics the templates were drawn for), else DejaVu Sans 8,
// else the application's font at 8 points.
QFont DialogFont();

}  // namespace quorvane::ui
