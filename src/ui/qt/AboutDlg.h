// The About box, built from template 100: the icon, the program's name and version, who makes
// it, and an OK button. Enter, Escape, OK and the close box end it, as QDialog does by default.
#pragma once

#include <QDialog>

namespace glassbench::ui::qt {

class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    // `owner` is the window the box is modal over; it is centred on it.
    explicit CAboutDlg(QWidget* owner = nullptr);
};

}  // namespace glassbench::ui::qt
