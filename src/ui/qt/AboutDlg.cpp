#include "ui/qt/AboutDlg.h"

#include <QPushButton>

#include "ui/qt/AppIcon.h"
#include "ui/qt/DialogBuilder.h"

namespace glassbench::ui::qt {

CAboutDlg::CAboutDlg(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    const QIcon icon = LoadAppIcon();
    setWindowIcon(icon);
    const BuiltDialog built = BuildDialog(*this, AboutDialogTemplate(), {}, icon);
    if (auto* ok = qobject_cast<QPushButton*>(built.Control(kIdOk))) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        ok->setFocus();
    }
}

}  // namespace glassbench::ui::qt
