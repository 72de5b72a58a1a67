// Builds a dialog's controls from its template (DialogTemplate.h).
//
// Each template kind maps to one widget class: labels to QLabel (plain text, so an '&' is
// shown, not turned into a mnemonic), check boxes to QCheckBox, drop-down lists to
// CloseUpComboBox, single-line edits to QLineEdit, multi-line read-only edits to
// TranscriptBox, buttons to QPushButton and group frames to QGroupBox. Every widget is a child
// of the dialog, which owns it. Places are converted from dialog units of the dialog's own
// font. A drop-down list's template height includes its dropped-down part, so the closed box
// takes the toolkit's height for one line and the rest becomes the number of entries the
// drop-down shows.
#pragma once

#include <QIcon>
#include <QString>
#include <vector>

#include "serial/PortTables.h"
#include "ui/DialogTemplate.h"

class QDialog;
class QLabel;
class QWidget;

namespace glassbench::ui::qt {

struct BuiltControl {
    const ControlTemplate* control;
    QWidget* widget;
};

class BuiltDialog {
  public:
    // The widget of control `id`, or nullptr.
    QWidget* Control(int id) const;
    // The first visible, enabled tab stop in template order: where the focus starts.
    QWidget* FirstTabStop() const;
    QLabel* IconLabel() const { return iconLabel_; }
    const std::vector<BuiltControl>& Controls() const { return controls_; }
    DialogUnitScale Scale() const { return scale_; }

  private:
    friend BuiltDialog BuildDialog(QDialog&, const DialogTemplate&, const serial::PortNames&,
                                   const QIcon&);
    std::vector<BuiltControl> controls_;
    QLabel* iconLabel_ = nullptr;
    DialogUnitScale scale_{1, 1};
};

// Creates `dialog`'s controls and sets its caption and fixed size. The Port list shows
// `ports` (PortListText); the other lists come from the template and the tables it names.
BuiltDialog BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate,
                        const serial::PortNames& ports, const QIcon& icon);

// Pixels per dialog unit for `widget`'s font.
DialogUnitScale ScaleForWidget(const QWidget& widget);

}  // namespace glassbench::ui::qt
