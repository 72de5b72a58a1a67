// The program's icon (resource 128): a display module with a lit screen and its cable,
// drawn with QPainter at 16, 32 and 48 pixels so that each size is drawn for its own grid
// rather than scaled from another.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace glassbench::ui {

inline constexpr int kIconSizes[] = {16, 32, 48};

QPixmap DrawAppIcon(int size);
QIcon LoadAppIcon();

}  // namespace glassbench::ui
