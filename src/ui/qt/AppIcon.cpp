#include "ui/qt/AppIcon.h"

// The images live in this static library's resources, which Qt registers only when asked;
// the macro must be used outside any namespace.
static void RegisterIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace glassbench::ui::qt {

QIcon LoadAppIcon() {
    static const bool registered = (RegisterIconResources(), true);
    (void)registered;
    QIcon icon;
    for (const int size : {16, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icons/glassbench-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace glassbench::ui::qt
