// A drop-down list that reports every close of its drop-down part ("close-up"), whether or
// not the selection changed, exactly once, after the list shows its new selection.
//
// Qt has no close-up signal, and hidePopup() alone is not one: QComboBox also calls it from
// hideEvent() when the box is merely hidden with no list open, a click outside the list can
// call it twice, and a chosen entry becomes current only after hidePopup() has returned. So
// the box remembers whether its own list is open, counts only the call that closes it, and
// posts the signal to the event queue, where it runs after Qt has applied the choice.
//
// A list that is marked choose-only-from-the-drop-down ignores the mouse wheel, Home, End,
// PageUp, PageDown and typed letters, the ways QComboBox changes a closed list's entry
// without any close-up (the dialog takes the arrow keys itself). The
// Port and Speed lists use it so that what they show is what the program opened.
#pragma once

#include <QComboBox>

namespace glassbench::ui::qt {

class CloseUpComboBox : public QComboBox {
    Q_OBJECT

  public:
    explicit CloseUpComboBox(QWidget* parent = nullptr);

    void showPopup() override;
    void hidePopup() override;

    void SetChoiceOnlyFromDropDown(bool on) { choiceOnlyFromDropDown_ = on; }
    // Elides long entries at their start, where device paths share their prefix.
    void SetElideStart(bool on);
    bool ElidesStart() const { return elideStart_; }
    bool IsDroppedDown() const { return droppedDown_; }

  signals:
    void closedUp();

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    bool droppedDown_ = false;
    bool choiceOnlyFromDropDown_ = false;
    bool elideStart_ = false;
};

}  // namespace glassbench::ui::qt
