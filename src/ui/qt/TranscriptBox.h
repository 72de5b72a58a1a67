// A read-only, word-wrapped text box for the "Data Send:" and "Data Rec:" transcripts.
//
// A transcript is one paragraph that only ever grows at its end: every send appends "AA 04 80
// 00 2E " with no line break, and a bench session can run to a hundred thousand sends. Qt's
// text edits lay a paragraph out as a whole, so each append to one long paragraph costs time
// in proportion to everything before it. This box instead keeps the text and the offsets at
// which its display lines start. Lines are broken greedily at blanks, as an edit control
// wraps words, and a line never changes once a later line has started, so an append only
// re-wraps the last line and what was added. Painting draws the visible lines only. Every
// append therefore costs the same, however long the transcript already is.
//
// Widths come from a per-character advance table of the box's font with kerning off, so the
// wrap, the painting and the mouse hit test agree to the pixel. The box offers the usual
// Copy and Select All on its context menu and on the standard keys.
#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <array>
#include <string_view>
#include <vector>

class QMenu;

namespace glassbench::ui::qt {

class TranscriptBox : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit TranscriptBox(QWidget* parent = nullptr);

    // Adds single-byte text at the end and scrolls so that it is in view.
    void Append(std::string_view latin1Text);
    void Clear();

    const QString& Text() const { return text_; }
    // The display lines as they are wrapped now (for tests and the accessibility tree).
    int LineCount() const { return static_cast<int>(lineStarts_.size()); }
    QString LineText(int line) const;

    QString SelectedText() const;
    void SelectAll();
    void CopySelection() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void MeasureFont();
    void RewrapAll();
    // Re-wraps from the start of the last line to the end of the text.
    void WrapTail();
    void UpdateScrollBar();
    int LineEnd(int line) const;
    int LineHeight() const;
    double Advance(QChar c) const;
    int OffsetAt(const QPoint& viewportPos) const;
    int WrapWidth() const;

    QString text_;
    std::vector<int> lineStarts_{0};
    std::array<double, 256> advances_{};
    double fallbackAdvance_ = 0;
    int lineHeight_ = 1;
    int anchor_ = 0;
    int cursor_ = 0;
};

}  // namespace glassbench::ui::qt
