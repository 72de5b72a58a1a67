// The program's icon (resource 128): the images under data/icons, drawn by tools/icons and
// carried in the program as Qt resources, the same images the Windows build carries.
#pragma once

#include <QIcon>

namespace glassbench::ui::qt {

QIcon LoadAppIcon();

}  // namespace glassbench::ui::qt
