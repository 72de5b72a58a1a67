#include "ui/qt/CloseUpComboBox.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QWheelEvent>

namespace glassbench::ui::qt {

CloseUpComboBox::CloseUpComboBox(QWidget* parent) : QComboBox(parent) {}

void CloseUpComboBox::showPopup() {
    QComboBox::showPopup();
    // showPopup() returns without a list when there is nothing to show.
    droppedDown_ = view() != nullptr && view()->isVisible();
}

void CloseUpComboBox::hidePopup() {
    const bool wasDroppedDown = droppedDown_;
    droppedDown_ = false;
    QComboBox::hidePopup();
    if (wasDroppedDown) {
        QMetaObject::invokeMethod(this, &CloseUpComboBox::closedUp, Qt::QueuedConnection);
    }
}

void CloseUpComboBox::SetElideStart(bool on) {
    elideStart_ = on;
    update();
}

void CloseUpComboBox::wheelEvent(QWheelEvent* event) {
    if (choiceOnlyFromDropDown_) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

void CloseUpComboBox::keyPressEvent(QKeyEvent* event) {
    // A closed QComboBox changes its entry on Home, End, PageUp and PageDown, and on typed
    // text, which it searches; keys that open the list (Space, F4, Alt+Down) carry no text or
    // are handled before the search.
    const int key = event->key();
    const bool jumps = key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_PageUp ||
                       key == Qt::Key_PageDown;
    const bool types =
        key != Qt::Key_Space && !event->text().isEmpty() && event->text().at(0).isPrint();
    if (choiceOnlyFromDropDown_ && !isEditable() && (jumps || types)) {
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void CloseUpComboBox::paintEvent(QPaintEvent* event) {
    if (!elideStart_ || isEditable()) {
        QComboBox::paintEvent(event);
        return;
    }
    // QComboBox clips a long entry at its end; for a device path the end is what tells
    // /dev/ttyUSB0 from /dev/ttyUSB1.
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect textRect =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    option.currentText =
        fontMetrics().elidedText(option.currentText, Qt::ElideLeft, textRect.width());
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace glassbench::ui::qt
