#include "ui/qt/DialogBuilder.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>

#include "protocol/CommandTable.h"
#include "ui/qt/CloseUpComboBox.h"
#include "ui/qt/TranscriptBox.h"

namespace glassbench::ui::qt {

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QWidget* CreateList(const ControlTemplate& control, const serial::PortNames& ports,
                    QWidget* parent) {
    auto* list = new CloseUpComboBox(parent);
    if (control.kind == ControlKind::DropDownEdit) {
        list->setEditable(true);
        // A typed text is only read, never added as an entry, and an edit control does not
        // complete what is typed.
        list->setInsertPolicy(QComboBox::NoInsert);
        list->setCompleter(nullptr);
    }
    for (const std::string& item : ListItems(control, ports)) {
        list->addItem(Utf8(item));
    }
    // Device paths share their start; the end is what tells /dev/ttyUSB0 from /dev/ttyUSB1.
    list->SetElideStart(control.source == ListSource::PortTable);
    list->setCurrentIndex(-1);
    // The drop-down is as wide as its longest entry, even where the closed box is narrower.
    int widest = 0;
    for (int i = 0; i < list->count(); ++i) {
        widest = std::max(widest, list->fontMetrics().horizontalAdvance(list->itemText(i)));
    }
    list->view()->setMinimumWidth(widest +
                                  2 * list->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    return list;
}

QWidget* CreateEdit(const ControlTemplate& control, QWidget* parent) {
    if (control.style & kMultiLine) {
        auto* box = new TranscriptBox(parent);
        if (!(control.style & kBorder)) {
            box->setFrameShape(QFrame::NoFrame);
        }
        return box;
    }
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(control.style & kReadOnly);
    edit->setFrame(control.style & kBorder);
    return edit;
}

QWidget* CreateWidget(const ControlTemplate& control, const serial::PortNames& ports,
                      const QIcon& icon, QWidget* parent) {
    switch (control.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(Utf8(control.text), parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(Utf8(control.text), parent);
        case ControlKind::DropDownList:
        case ControlKind::DropDownEdit:
            return CreateList(control, ports, parent);
        case ControlKind::Edit:
            return CreateEdit(control, parent);
        case ControlKind::Icon: {
            auto* label = new QLabel(parent);
            const int side = parent->style()->pixelMetric(QStyle::PM_LargeIconSize);
            label->setPixmap(icon.pixmap(side, side));
            return label;
        }
        case ControlKind::GroupFrame: {
            auto* frame = new QGroupBox(parent);
            // A Windows group box is transparent to the mouse; the controls it frames were
            // created before it and would otherwise lie underneath it.
            frame->setAttribute(Qt::WA_TransparentForMouseEvents);
            return frame;
        }
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton: {
            auto* button = new QPushButton(Utf8(control.text), parent);
            const bool isDefault = control.kind == ControlKind::DefaultPushButton;
            // QDialog makes every push button an Enter target unless told otherwise.
            button->setAutoDefault(isDefault);
            button->setDefault(isDefault);
            return button;
        }
    }
    return nullptr;
}

// The width at which a closed list shows its longest entry whole.
int WidthToShow(const QComboBox& list) {
    int widest = 0;
    for (int i = 0; i < list.count(); ++i) {
        widest = std::max(widest, list.fontMetrics().horizontalAdvance(list.itemText(i)));
    }
    QStyleOptionComboBox option;
    option.initFrom(&list);
    option.editable = list.isEditable();
    const QSize contents(widest, list.fontMetrics().height());
    return list.style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, &list).width();
}

// The width at which a button shows its caption whole.
int WidthToShow(const QPushButton& button) {
    const QStyle* style = button.style();
    return button.fontMetrics().horizontalAdvance(button.text()) +
           style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) +
           2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
}

bool TakesFocus(ControlKind kind) {
    return kind != ControlKind::Label && kind != ControlKind::Icon &&
           kind != ControlKind::GroupFrame;
}

void Place(QWidget& widget, const ControlTemplate& control, const DialogUnitScale& scale) {
    const PixelRect r = MapDialogRect(control.place, scale);
    if (control.kind == ControlKind::Icon) {
        // A Windows icon control sizes itself to the icon.
        const int side = widget.style()->pixelMetric(QStyle::PM_LargeIconSize);
        widget.setGeometry(r.left, r.top, side, side);
        return;
    }
    if (control.kind == ControlKind::DropDownList || control.kind == ControlKind::DropDownEdit) {
        auto& list = static_cast<CloseUpComboBox&>(widget);
        const int closedHeight = list.sizeHint().height();
        // The template was measured for another font: a list whose box would cut its longest
        // entry grows to fit it ("115200 Baud" must not read "115200 Bauc"). A list that
        // elides its entries keeps its width.
        const int width = list.ElidesStart() ? r.width : std::max(r.width, WidthToShow(list));
        list.setGeometry(r.left, r.top, width, closedHeight);
        const int rowHeight = std::max(1, list.view()->sizeHintForRow(0));
        list.setMaxVisibleItems(std::max(1, (r.height - closedHeight) / rowHeight));
        return;
    }
    if (control.kind == ControlKind::PushButton || control.kind == ControlKind::DefaultPushButton) {
        const auto& button = static_cast<QPushButton&>(widget);
        widget.setGeometry(r.left, r.top, std::max(r.width, WidthToShow(button)), r.height);
        return;
    }
    if (control.kind == ControlKind::Label) {
        // The template was measured for another font, whose glyph widths stand in other
        // proportions; a caption never clips its own text.
        auto& label = static_cast<QLabel&>(widget);
        const QFontMetrics metrics(label.font());
        widget.setGeometry(r.left, r.top,
                           std::max(r.width, metrics.horizontalAdvance(label.text()) + 1),
                           std::max(r.height, metrics.height()));
        return;
    }
    widget.setGeometry(r.left, r.top, r.width, r.height);
}

}  // namespace

DialogUnitScale ScaleForWidget(const QWidget& widget) {
    const QFontMetricsF metrics(widget.font());
    return ScaleForFont(
        metrics.horizontalAdvance(QString::fromLatin1(kAlphabet.data(), kAlphabet.size())),
        metrics.height());
}

QWidget* BuiltDialog::Control(int id) const {
    if (id == kNoId) {
        return nullptr;
    }
    for (const BuiltControl& built : controls_) {
        if (built.control->id == id) {
            return built.widget;
        }
    }
    return nullptr;
}

QWidget* BuiltDialog::FirstTabStop() const {
    for (const BuiltControl& built : controls_) {
        if ((built.control->style & kTabStop) && !(built.control->style & kHidden) &&
            !(built.control->style & kDisabled)) {
            return built.widget;
        }
    }
    return nullptr;
}

BuiltDialog BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate,
                        const serial::PortNames& ports, const QIcon& icon) {
    BuiltDialog built;
    built.scale_ = ScaleForWidget(dialog);
    dialog.setWindowTitle(Utf8(dialogTemplate.caption));
    const PixelRect client =
        MapDialogRect({0, 0, dialogTemplate.cx, dialogTemplate.cy}, built.scale_);
    dialog.setFixedSize(client.width, client.height);

    QWidget* previousTabStop = nullptr;
    std::vector<QWidget*> frames;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = CreateWidget(control, ports, icon, &dialog);
        if (control.id != kNoId) {
            widget->setObjectName(QStringLiteral("control%1").arg(control.id));
        }
        Place(*widget, control, built.scale_);
        if (!TakesFocus(control.kind)) {
            widget->setFocusPolicy(Qt::NoFocus);
        } else if (control.style & kTabStop) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop != nullptr) {
                QWidget::setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        } else {
            widget->setFocusPolicy(Qt::ClickFocus);
        }
        widget->setVisible(!(control.style & kHidden));
        widget->setEnabled(!(control.style & kDisabled));
        if (control.kind == ControlKind::GroupFrame) {
            frames.push_back(widget);
        }
        if (control.kind == ControlKind::Icon) {
            built.iconLabel_ = static_cast<QLabel*>(widget);
        }
        built.controls_.push_back({&control, widget});
    }
    // Frames paint beneath what they frame.
    for (QWidget* frame : frames) {
        frame->lower();
    }
    return built;
}

}  // namespace glassbench::ui::qt
