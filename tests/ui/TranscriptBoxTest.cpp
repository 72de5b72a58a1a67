#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTest>
#include <random>
#include <string>
#include <vector>

#include "ui/TranscriptBox.h"

namespace glassbench::ui {
namespace {

std::vector<QString> Lines(const CTranscriptBox& box) {
    std::vector<QString> lines;
    for (int i = 0; i < box.LineCount(); ++i) {
        lines.push_back(box.LineText(i));
    }
    return lines;
}

class TranscriptBoxTest : public ::testing::TestWithParam<bool> {
  protected:
    TranscriptBoxTest() {
        if (GetParam()) {
            box.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        }
        box.resize(300, 120);
        box.show();
    }
    CTranscriptBox box;
};

TEST_P(TranscriptBoxTest, ShowsExactlyTheConcatenatedText) {
    box.Append("AA 04 80 00 2E ");
    box.Append("AA 04 80 00 2E ");
    EXPECT_EQ(box.Text(), "AA 04 80 00 2E AA 04 80 00 2E ");
    // The lines, joined again, give the text back: nothing is added between sends.
    QString joined;
    for (const QString& line : Lines(box)) {
        joined += line;
    }
    EXPECT_EQ(joined, box.Text());
}

TEST_P(TranscriptBoxTest, AppendingWrapsAsAFreshWrapOfTheWholeText) {
    // The incremental wrap must agree with wrapping everything at once, for any cut points.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> count(1, 12);
    std::string all;
    for (int send = 0; send < 200; ++send) {
        std::string piece;
        for (int i = count(random); i > 0; --i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X ", byte(random));
            piece += hex;
        }
        all += piece;
        box.Append(piece);
    }
    CTranscriptBox fresh;
    fresh.setFont(box.font());
    fresh.resize(box.size());
    fresh.show();
    fresh.Append(all);
    EXPECT_EQ(box.Text(), fresh.Text());
    EXPECT_GT(box.LineCount(), 10);
    EXPECT_EQ(Lines(box), Lines(fresh));
}

TEST_P(TranscriptBoxTest, LinesBreakAfterBlanksAndFitTheBox) {
    std::string text;
    for (int i = 0; i < 100; ++i) {
        text += "AB ";
    }
    box.Append(text);
    const QFontMetricsF metrics(box.font());
    const int available = box.viewport()->width();
    for (int i = 0; i < box.LineCount(); ++i) {
        const QString line = box.LineText(i);
        ASSERT_FALSE(line.isEmpty());
        if (i + 1 < box.LineCount()) {
            EXPECT_TRUE(line.endsWith(' ')) << line.toStdString();
        }
        EXPECT_TRUE(line.startsWith("AB")) << line.toStdString();
        EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), available);
    }
}

TEST_P(TranscriptBoxTest, AWordWiderThanTheBoxIsBrokenAnywhere) {
    box.Append(std::string(400, 'F'));
    EXPECT_GT(box.LineCount(), 1);
    EXPECT_EQ(box.Text().size(), 400);
}

TEST_P(TranscriptBoxTest, ClearEmptiesTextAndLines) {
    box.Append("01 02 03 04 05 ");
    box.SelectAll();
    box.Clear();
    EXPECT_EQ(box.Text(), "");
    EXPECT_EQ(box.LineCount(), 1);
    EXPECT_EQ(box.SelectedText(), "");
    box.Append("06 ");
    EXPECT_EQ(box.Text(), "06 ");
}

TEST_P(TranscriptBoxTest, SelectAllCopiesTheWholeTranscript) {
    box.Append("AA 04 80 00 2E ");
    box.SelectAll();
    box.CopySelection();
    EXPECT_EQ(QApplication::clipboard()->text(), "AA 04 80 00 2E ");
}

TEST_P(TranscriptBoxTest, DoubleClickSelectsOneByte) {
    box.Append("AA 04 80 00 2E ");
    // The third word: start of the first line, past "AA 04 ".
    const QFontMetricsF metrics(box.font());
    const int x = 2 + static_cast<int>(metrics.horizontalAdvance("AA 04 8"));
    QTest::mouseDClick(box.viewport(), Qt::LeftButton, {}, QPoint(x, 3));
    EXPECT_EQ(box.SelectedText(), "80");
}

TEST_P(TranscriptBoxTest, KeepsTheNewestTextInView) {
    for (int i = 0; i < 500; ++i) {
        box.Append("AA 04 80 00 2E ");
    }
    EXPECT_EQ(box.verticalScrollBar()->value(), box.verticalScrollBar()->maximum());
    EXPECT_GT(box.verticalScrollBar()->maximum(), 0);
}

INSTANTIATE_TEST_SUITE_P(Fonts, TranscriptBoxTest, ::testing::Values(false, true),
                         [](const auto& info) {
                             return std::string(info.param ? "FixedPitch" : "DialogFont");
                         });

}  // namespace
}  // namespace glassbench::ui
