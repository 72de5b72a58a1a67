// The program's icon artwork: a display module with a lit screen and its cable, drawn with
// QPainter for each size on its own grid rather than scaled from another size.
//
// The drawing is the source; the images the programs carry are made from it by ui_icons
// (scripts/make-icons.sh) and committed under data/icons, where the window's tests check that
// they still match it.
#pragma once

#include <QByteArray>
#include <QImage>
#include <vector>

namespace glassbench::icons {

// The sizes the programs carry: the window's 16, 32 and 48, and 256 for desktop menus.
inline constexpr int kIconSizes[] = {16, 32, 48, 256};

QImage DrawIcon(int size);

// A Windows icon file holding the given PNG images (PNG-compressed entries, which Windows
// has read since Vista), in the order given.
QByteArray IcoFile(const std::vector<QByteArray>& pngImages);

}  // namespace glassbench::icons
