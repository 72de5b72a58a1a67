// The operator dialog's platform parts, one implementation file a platform, chosen by CMake:
// DialogPlatformWin32.cpp or DialogPlatformPosix.cpp.
//
// The Port list's texts: Windows users know their ports as "COM 1" to "COM 30"; elsewhere a
// row shows the device path it opens, since that is what the operator has to recognise.
//
// The window's system menu, to which the dialog adds its "&About Glassbench..." item, and the
// road by which system commands come back to the dialog.
//
// On Windows this is the real system menu (GetSystemMenu, AppendMenu) and every WM_SYSCOMMAND
// of the window is handed to the dialog, which passes the ones it does not handle back to
// DefWindowProc through DefaultProcessing. No toolkit on X11 or Wayland can add items to the
// window manager's menu, so there the same items open in a popup menu from a right click on
// the dialog's background (labels, frames, empty space) and from a click on the dialog's
// icon.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

class QLabel;
class QMenu;
class QWidget;

namespace glassbench::ui {

// The text of row `index` of the Port list, whose device is `deviceName`.
QString PortListText(int index, std::string_view deviceName);

// Windows' own system commands that the popup menu's default processing knows.
inline constexpr std::uint16_t kScMinimize = 0xF020;
inline constexpr std::uint16_t kScClose = 0xF060;
inline constexpr std::uint16_t kScRestore = 0xF120;

class SystemMenu {
  public:
    using CommandHandler = std::function<void(std::uint16_t commandId)>;

    // `iconLabel` may be null. The menu lives as long as this object.
    SystemMenu(QWidget& window, QLabel* iconLabel, CommandHandler handler);
    ~SystemMenu();
    SystemMenu(const SystemMenu&) = delete;
    SystemMenu& operator=(const SystemMenu&) = delete;

    // False when the window has no system menu to add to.
    bool Exists() const;
    void AppendSeparator();
    void AppendItem(std::uint16_t commandId, const QString& text);
    // Gives a command the window does not handle to the platform's default processing.
    void DefaultProcessing(std::uint16_t commandId);
    // The popup that stands in for the system menu, or nullptr where the real one is used.
    QMenu* PopupMenu() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace glassbench::ui
