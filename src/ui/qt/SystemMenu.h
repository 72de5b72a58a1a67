// The window's system menu as Qt can offer it, to which the dialog adds its
// "&About Glassbench..." item, and the road by which system commands come back to the dialog.
//
// No toolkit on X11 or Wayland can add items to the window manager's menu, so the items open
// in a popup menu from a right click on the dialog's background (labels, frames, empty space)
// and from a click on the dialog's icon. Default processing knows the few commands a Qt window
// can carry out itself.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

class QLabel;
class QMenu;
class QWidget;

namespace glassbench::ui::qt {

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

}  // namespace glassbench::ui::qt
