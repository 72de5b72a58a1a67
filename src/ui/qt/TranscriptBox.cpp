#include "ui/qt/TranscriptBox.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace glassbench::ui::qt {

namespace {

// The blank an edit control leaves between its border and the text.
constexpr int kMargin = 2;

// Drawing with kerning would move glyphs away from the positions the advance table gives.
QFont UnkernedFont(QFont font) {
    font.setKerning(false);
    return font;
}

}  // namespace

TranscriptBox::TranscriptBox(QWidget* parent) : QAbstractScrollArea(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    MeasureFont();
    UpdateScrollBar();
}

void TranscriptBox::Append(std::string_view latin1Text) {
    if (latin1Text.empty()) {
        return;
    }
    text_.append(QLatin1String(latin1Text.data(), static_cast<qsizetype>(latin1Text.size())));
    WrapTail();
    UpdateScrollBar();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

void TranscriptBox::Clear() {
    text_.clear();
    lineStarts_.assign(1, 0);
    anchor_ = cursor_ = 0;
    UpdateScrollBar();
    viewport()->update();
}

QString TranscriptBox::LineText(int line) const {
    if (line < 0 || line >= LineCount()) {
        return {};
    }
    const int start = lineStarts_[static_cast<std::size_t>(line)];
    return text_.mid(start, LineEnd(line) - start);
}

QString TranscriptBox::SelectedText() const {
    const int from = std::min(anchor_, cursor_);
    const int to = std::max(anchor_, cursor_);
    return text_.mid(from, to - from);
}

void TranscriptBox::SelectAll() {
    anchor_ = 0;
    cursor_ = static_cast<int>(text_.size());
    viewport()->update();
}

void TranscriptBox::CopySelection() const {
    const QString selected = SelectedText();
    if (!selected.isEmpty()) {
        QApplication::clipboard()->setText(selected);
    }
}

void TranscriptBox::MeasureFont() {
    const QFontMetricsF metrics(UnkernedFont(font()));
    for (std::size_t c = 0; c < advances_.size(); ++c) {
        advances_[c] = metrics.horizontalAdvance(QChar(static_cast<char16_t>(c)));
    }
    fallbackAdvance_ = metrics.averageCharWidth();
    lineHeight_ = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
}

double TranscriptBox::Advance(QChar c) const {
    const char16_t code = c.unicode();
    return code < advances_.size() ? advances_[code] : fallbackAdvance_;
}

int TranscriptBox::WrapWidth() const {
    return std::max(1, viewport()->width() - 2 * kMargin);
}

int TranscriptBox::LineHeight() const {
    return lineHeight_;
}

void TranscriptBox::RewrapAll() {
    lineStarts_.assign(1, 0);
    WrapTail();
    UpdateScrollBar();
}

void TranscriptBox::WrapTail() {
    // Lines before the last one ended where a character did not fit, and that character was
    // already there; text added later cannot move those breaks.
    int lineStart = lineStarts_.back();
    const int size = static_cast<int>(text_.size());
    const double width = WrapWidth();
    double x = 0;
    int breakAfterBlank = -1;
    for (int i = lineStart; i < size; ++i) {
        const QChar c = text_[i];
        if (c == u'\n') {
            lineStart = i + 1;
            lineStarts_.push_back(lineStart);
            x = 0;
            breakAfterBlank = -1;
            continue;
        }
        const double w = Advance(c);
        if (c == u' ') {
            // Blanks may hang past the right edge, as they do in an edit control.
            x += w;
            breakAfterBlank = i + 1;
            continue;
        }
        if (x + w > width && i > lineStart) {
            lineStart = breakAfterBlank > lineStart ? breakAfterBlank : i;
            lineStarts_.push_back(lineStart);
            breakAfterBlank = -1;
            x = 0;
            for (int j = lineStart; j < i; ++j) {
                x += Advance(text_[j]);
            }
        }
        x += w;
    }
}

int TranscriptBox::LineEnd(int line) const {
    const std::size_t next = static_cast<std::size_t>(line) + 1;
    if (next >= lineStarts_.size()) {
        return static_cast<int>(text_.size());
    }
    const int end = lineStarts_[next];
    return (end > 0 && text_[end - 1] == u'\n') ? end - 1 : end;
}

void TranscriptBox::UpdateScrollBar() {
    const int visible = std::max(1, viewport()->height() / LineHeight());
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, LineCount() - visible));
    bar->setPageStep(visible);
    bar->setSingleStep(1);
}

void TranscriptBox::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(UnkernedFont(font()));
    const QPalette& pal = palette();
    const QFontMetricsF metrics(painter.font());
    const int first = verticalScrollBar()->value();
    const int rows = viewport()->height() / LineHeight() + 1;
    const int selFrom = std::min(anchor_, cursor_);
    const int selTo = std::max(anchor_, cursor_);

    for (int row = 0; row < rows && first + row < LineCount(); ++row) {
        const int line = first + row;
        const int start = lineStarts_[static_cast<std::size_t>(line)];
        const int end = LineEnd(line);
        const double top = static_cast<double>(row * LineHeight());
        const double baseline = top + metrics.ascent();
        // Up to three runs: before, inside and after the selection.
        const int cuts[4] = {start, std::clamp(selFrom, start, end), std::clamp(selTo, start, end),
                             end};
        double x = kMargin;
        for (int run = 0; run < 3; ++run) {
            const int from = cuts[run];
            const int to = std::max(from, cuts[run + 1]);
            if (from == to) {
                continue;
            }
            double runWidth = 0;
            for (int i = from; i < to; ++i) {
                runWidth += Advance(text_[i]);
            }
            const bool selected = run == 1;
            if (selected) {
                painter.fillRect(QRectF(x, top, runWidth, LineHeight()),
                                 pal.brush(QPalette::Highlight));
            }
            painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
            painter.drawText(QPointF(x, baseline), text_.mid(from, to - from));
            x += runWidth;
        }
    }
}

void TranscriptBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    RewrapAll();
}

void TranscriptBox::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        MeasureFont();
        RewrapAll();
        viewport()->update();
    }
}

int TranscriptBox::OffsetAt(const QPoint& viewportPos) const {
    const int line = std::clamp(verticalScrollBar()->value() + viewportPos.y() / LineHeight(), 0,
                                LineCount() - 1);
    const int start = lineStarts_[static_cast<std::size_t>(line)];
    const int end = LineEnd(line);
    double x = kMargin;
    for (int i = start; i < end; ++i) {
        const double w = Advance(text_[i]);
        if (viewportPos.x() < x + w / 2) {
            return i;
        }
        x += w;
    }
    return end;
}

void TranscriptBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        anchor_ = cursor_ = OffsetAt(event->position().toPoint());
        viewport()->update();
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void TranscriptBox::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        cursor_ = OffsetAt(event->position().toPoint());
        viewport()->update();
    }
}

void TranscriptBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || text_.isEmpty()) {
        return;
    }
    // One byte of a transcript is a word: select the hex pair under the mouse.
    int at = std::min(OffsetAt(event->position().toPoint()), static_cast<int>(text_.size()) - 1);
    int from = at;
    int to = at;
    while (from > 0 && text_[from - 1] != u' ' && text_[from - 1] != u'\n') {
        --from;
    }
    while (to < text_.size() && text_[to] != u' ' && text_[to] != u'\n') {
        ++to;
    }
    anchor_ = from;
    cursor_ = to;
    viewport()->update();
}

void TranscriptBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void TranscriptBox::contextMenuEvent(QContextMenuEvent* event) {
    // Shown without a nested event loop, as Qt's own edits show theirs; the menu deletes
    // itself when it closes.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy = menu->addAction(tr("&Copy"), this, &TranscriptBox::CopySelection);
    copy->setEnabled(anchor_ != cursor_);
    menu->addSeparator();
    QAction* all = menu->addAction(tr("Select &All"), this, &TranscriptBox::SelectAll);
    all->setEnabled(!text_.isEmpty());
    menu->popup(event->globalPos());
}

}  // namespace glassbench::ui::qt
