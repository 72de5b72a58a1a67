#include <gtest/gtest.h>

#include <ostream>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <set>
#include <string>
#include <vector>

#include "protocol/CommandTable.h"
#include "serial/PortTables.h"
#include "ui/AppIcon.h"
#include "ui/CloseUpComboBox.h"
#include "ui/DialogBuilder.h"
#include "ui/DialogTemplate.h"
#include "ui/TranscriptBox.h"

namespace glassbench::ui {
namespace {

// --- dialog units ---------------------------------------------------------------------------

struct MapCase {
    const char* name;
    DialogRect rect;
    DialogUnitScale scale;
    PixelRect expected;
};

// Test lists show the case's name, not its bytes.
void PrintTo(const MapCase& c, std::ostream* out) {
    *out << c.name;
}

class MapDialogRectTest : public ::testing::TestWithParam<MapCase> {};

TEST_P(MapDialogRectTest, ConvertsEdgeByEdge) {
    const MapCase& c = GetParam();
    const PixelRect r = MapDialogRect(c.rect, c.scale);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.width, c.expected.width);
    EXPECT_EQ(r.height, c.expected.height);
}

INSTANTIATE_TEST_SUITE_P(
    Rects, MapDialogRectTest,
    ::testing::Values(
        // A 6 px average character and a 13 px font: 1.5 px and 1.625 px a unit.
        MapCase{"Exact", {0, 0, 316, 269}, {1.5, 1.625}, {0, 0, 474, 437}},
        // 9 * 1.5 = 13.5 rounds to 14; the right edge 138 * 1.5 = 207, so the width is 193,
        // not round(129 * 1.5) = 194 (which would overlap the next control by a pixel).
        MapCase{"EdgesRoundedNotSizes", {9, 83, 129, 13}, {1.5, 1.625}, {14, 135, 193, 21}},
        MapCase{"Zero", {0, 0, 0, 0}, {1.75, 2.0}, {0, 0, 0, 0}},
        MapCase{"FractionalScale", {3, 3, 3, 3}, {1.3, 1.3}, {4, 4, 4, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DialogUnits, AdjacentControlsStayAdjacentForEveryScale) {
    // Two controls that touch in dialog units touch in pixels, whatever the scale's rounding.
    for (double sx = 1.0; sx < 3.0; sx += 0.037) {
        const DialogUnitScale scale{sx, sx * 1.1};
        for (int x = 0; x < 60; ++x) {
            const PixelRect left = MapDialogRect({x, x, 7, 5}, scale);
            const PixelRect right = MapDialogRect({x + 7, x + 5, 9, 4}, scale);
            ASSERT_EQ(left.left + left.width, right.left) << sx << " " << x;
            ASSERT_EQ(left.top + left.height, right.top) << sx << " " << x;
        }
    }
}

TEST(DialogUnits, ScaleIsAQuarterCharacterAndAnEighthOfTheHeight) {
    // 52 letters advancing 312 px: a 6 px average character.
    const DialogUnitScale scale = ScaleForFont(312.0, 16.0);
    EXPECT_DOUBLE_EQ(scale.x, 1.5);
    EXPECT_DOUBLE_EQ(scale.y, 2.0);
}

TEST(DialogUnits, WidgetScaleUsesTheAlphabetNotTheAverageWidth) {
    QWidget widget;
    const QFontMetricsF metrics(widget.font());
    const DialogUnitScale scale = ScaleForWidget(widget);
    double sum = 0;
    for (char c : std::string(kAlphabet)) {
        sum += metrics.horizontalAdvance(QChar(c));
    }
    EXPECT_NEAR(scale.x, sum / 52.0 / 4.0, 0.01);
    EXPECT_DOUBLE_EQ(scale.y, metrics.height() / 8.0);
}

// --- the template's data ----------------------------------------------------------------------

TEST(OperatorTemplate, HasTheCaptionSizeAndControlsOfTemplate102) {
    const DialogTemplate& t = OperatorDialogTemplate();
    EXPECT_EQ(t.id, 102);
    EXPECT_EQ(t.caption, "Glassbench +");
    EXPECT_EQ(t.cx, 316);
    EXPECT_EQ(t.cy, 269);
    EXPECT_EQ(t.controls.size(), 43u);
    std::set<int> ids;
    for (const ControlTemplate& c : t.controls) {
        if (c.id != kNoId) {
            EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id " << c.id;
        }
    }
    EXPECT_EQ(ids, (std::set<int>{1000, 1001, 1002, 1003, 1004, 1005, 1009, 1010, 1029, 1030, 1031,
                                  1032, 1033, 1034, 1035, 1036, 1042}));
}

TEST(OperatorTemplate, TabStopsInTemplateOrder) {
    std::vector<int> tabStops;
    for (const ControlTemplate& c : OperatorDialogTemplate().controls) {
        if (c.style & kTabStop) {
            tabStops.push_back(c.id);
        }
    }
    EXPECT_EQ(tabStops,
              (std::vector<int>{kIdcData, kIdcRecvLog, kIdcLengh, kIdcXaddress, kIdcYaddress,
                                kIdcCheckSum, kIdcSendData, kIdcClearDisplay}));
}

TEST(OperatorTemplate, SpeedListMatchesTheSpeedTableRowForRow) {
    const ControlTemplate* speed = FindControl(OperatorDialogTemplate(), kIdcSpeed);
    ASSERT_NE(speed, nullptr);
    ASSERT_EQ(speed->items.size(), serial::SpeedTable.size());
    for (std::size_t i = 0; i < speed->items.size(); ++i) {
        EXPECT_EQ(std::string(speed->items[i]), std::string(serial::SpeedTable[i].text) + " Baud");
    }
}

TEST(OperatorTemplate, ChineseCaptionsAreExact) {
    std::vector<std::string> chinese;
    for (const ControlTemplate& c : OperatorDialogTemplate().controls) {
        if (!c.text.empty() && static_cast<unsigned char>(c.text[0]) >= 0x80) {
            chinese.emplace_back(c.text);
        }
    }
    EXPECT_EQ(chinese,
              (std::vector<std::string>{"\xE4\xB8\xB2\xE5\x8F\xA3\xE8\xAE\xBE\xE7\xBD\xAE",
                                        "\xE5\x8F\x91\xE9\x80\x81\xE6\x95\xB0\xE6\x8D\xAE",
                                        "\xE6\xB8\x85\xE9\x99\xA4\xE6\x98\xBE\xE7\xA4\xBA",
                                        "\xE6\x95\xB0\xE6\x8D\xAE\xE5\x8F\x91\xE9\x80\x81",
                                        "\xE6\x95\xB0\xE6\x8D\xAE\xE6\x8E\xA5\xE6\x94\xB6"}));
}

TEST(StringTable, HoldsTheAboutItemAndNothingElse) {
    EXPECT_EQ(LoadResourceString(kIdsAboutBox), "&About Glassbench...");
    EXPECT_EQ(LoadResourceString(102), "");
}

// --- the built dialog -------------------------------------------------------------------------

class BuiltOperatorDialog : public ::testing::Test {
  protected:
    BuiltOperatorDialog() {
        for (int i = 0; i < serial::kPortCount; ++i) {
            ports.push_back(QStringLiteral("/dev/port%1").arg(i));
        }
        built = BuildDialog(dialog, OperatorDialogTemplate(), ports, QIcon());
    }

    QStringList Items(int id) const {
        auto* list = qobject_cast<QComboBox*>(built.Control(id));
        QStringList items;
        for (int i = 0; list != nullptr && i < list->count(); ++i) {
            items << list->itemText(i);
        }
        return items;
    }

    QDialog dialog;
    std::vector<QString> ports;
    BuiltDialog built;
};

struct KindCase {
    int id;
    const char* className;
};

TEST_F(BuiltOperatorDialog, EachControlHasItsKind) {
    const KindCase cases[] = {
        {kIdcSpeed, "glassbench::ui::CCloseUpComboBox"},
        {kIdcPort, "glassbench::ui::CCloseUpComboBox"},
        {kIdcDtr, "QCheckBox"},
        {kIdcRts, "QCheckBox"},
        {kIdcCommand, "glassbench::ui::CCloseUpComboBox"},
        {kIdcTransparent, "glassbench::ui::CCloseUpComboBox"},
        {kIdcData, "QLineEdit"},
        {kIdcSendLog, "glassbench::ui::CTranscriptBox"},
        {kIdcRecvLog, "glassbench::ui::CTranscriptBox"},
        {kIdcLengh, "QLineEdit"},
        {kIdcXaddress, "QLineEdit"},
        {kIdcYaddress, "QLineEdit"},
        {kIdcFontSize, "glassbench::ui::CCloseUpComboBox"},
        {kIdcCheckSum, "QLineEdit"},
        {kIdcSendData, "QPushButton"},
        {kIdcClearDisplay, "QPushButton"},
        {kIdcLcdType, "glassbench::ui::CCloseUpComboBox"},
    };
    for (const KindCase& c : cases) {
        QWidget* w = built.Control(c.id);
        ASSERT_NE(w, nullptr) << c.id;
        EXPECT_STREQ(w->metaObject()->className(), c.className) << c.id;
    }
}

TEST_F(BuiltOperatorDialog, ListsHoldTheirEntriesInOrderAndNoSelection) {
    EXPECT_EQ(Items(kIdcSpeed), QStringList({"1200 Baud", "2400 Baud", "4800 Baud", "9600 Baud",
                                             "19200 Baud", "57600 Baud", "115200 Baud"}));
    EXPECT_EQ(Items(kIdcTransparent), QStringList({"Yes", "No"}));
    EXPECT_EQ(Items(kIdcFontSize),
              QStringList({"8x16", "12x24", "16x32", "16x16", "24x24", "32x32"}));
    EXPECT_EQ(Items(kIdcLcdType), QStringList({"Uart LCDs", "SPI LCDs", "I2C LCDs", "USB LCDs"}));
    const QStringList commands = Items(kIdcCommand);
    ASSERT_EQ(commands.size(), 20);
    EXPECT_EQ(commands.front(), "Clear Screen");
    EXPECT_EQ(commands[11], "Draw Line");
    EXPECT_EQ(commands.back(), "Draw Edit Chinese String");
    const QStringList portItems = Items(kIdcPort);
    ASSERT_EQ(portItems.size(), 30);
    EXPECT_EQ(portItems.front(), "/dev/port0");
    EXPECT_EQ(portItems.back(), "/dev/port29");
    for (int id : {kIdcSpeed, kIdcPort, kIdcCommand, kIdcTransparent, kIdcFontSize}) {
        EXPECT_EQ(static_cast<QComboBox*>(built.Control(id))->currentIndex(), -1) << id;
    }
}

TEST_F(BuiltOperatorDialog, PlacesControlsAtTheirConvertedRectangles) {
    const DialogUnitScale scale = built.Scale();
    EXPECT_EQ(dialog.size(), QSize(MapDialogRect({0, 0, 316, 269}, scale).width,
                                   MapDialogRect({0, 0, 316, 269}, scale).height));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    for (const BuiltControl& c : built.Controls()) {
        const PixelRect r = MapDialogRect(c.control->place, scale);
        const QRect g = c.widget->geometry();
        EXPECT_EQ(g.topLeft(), QPoint(r.left, r.top)) << std::string(c.control->text);
        switch (c.control->kind) {
            case ControlKind::Edit:
            case ControlKind::PushButton:
            case ControlKind::GroupFrame:
                EXPECT_EQ(g.size(), QSize(r.width, r.height)) << c.control->id;
                break;
            case ControlKind::DropDownList:
            case ControlKind::DropDownEdit:
                // The closed box is one line high; the template's height is the drop-down's.
                EXPECT_EQ(g.width(), r.width);
                EXPECT_LT(g.height(), r.height);
                break;
            case ControlKind::Label:
                EXPECT_GE(g.width(), r.width);
                EXPECT_GE(g.height(), r.height);
                break;
            default:
                break;
        }
    }
}

TEST_F(BuiltOperatorDialog, CheckBoxesAreHiddenAndDisabledAndFieldsReadOnlyAsTemplated) {
    for (int id : {kIdcDtr, kIdcRts}) {
        EXPECT_TRUE(built.Control(id)->isHidden()) << id;
        EXPECT_FALSE(built.Control(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(static_cast<QLineEdit*>(built.Control(kIdcLengh))->isReadOnly());
    EXPECT_TRUE(static_cast<QLineEdit*>(built.Control(kIdcCheckSum))->isReadOnly());
    EXPECT_FALSE(static_cast<QLineEdit*>(built.Control(kIdcData))->isReadOnly());
    EXPECT_TRUE(static_cast<QComboBox*>(built.Control(kIdcLcdType))->isEditable());
    EXPECT_FALSE(static_cast<QComboBox*>(built.Control(kIdcPort))->isEditable());
    EXPECT_EQ(built.FirstTabStop(), built.Control(kIdcData));
}

TEST_F(BuiltOperatorDialog, LabelsShowTextLiterallyAndFramesLetClicksThrough) {
    int labels = 0;
    for (const BuiltControl& c : built.Controls()) {
        if (c.control->kind == ControlKind::Label) {
            auto* label = qobject_cast<QLabel*>(c.widget);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            EXPECT_EQ(label->text().toStdString(), std::string(c.control->text));
            ++labels;
        }
        if (c.control->kind == ControlKind::GroupFrame) {
            EXPECT_TRUE(c.widget->testAttribute(Qt::WA_TransparentForMouseEvents));
        }
    }
    EXPECT_EQ(labels, 21);
    // The Send data button lies inside a frame created after it; a click must reach it.
    QWidget* send = built.Control(kIdcSendData);
    EXPECT_EQ(dialog.childAt(send->geometry().center()), send);
}

TEST(AppIcon, IsDrawnAtSixteenThirtyTwoAndFortyEightPixels) {
    const QIcon icon = LoadAppIcon();
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
    for (int size : kIconSizes) {
        const QImage image = DrawAppIcon(size).toImage();
        // Drawn, not empty: the screen's green is there and the corners stay transparent.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size;
        EXPECT_EQ(image.pixelColor(size * 13 / 16, size * 21 / 32).green(), 200) << size;
    }
}

TEST(AboutTemplate, IsTemplate100) {
    const DialogTemplate& t = AboutDialogTemplate();
    EXPECT_EQ(t.id, 100);
    EXPECT_EQ(t.caption, "About Glassbench");
    EXPECT_EQ(t.cx, 217);
    EXPECT_EQ(t.cy, 55);
    const ControlTemplate* ok = FindControl(t, kIdOk);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->kind, ControlKind::DefaultPushButton);
    EXPECT_EQ(ok->text, "OK");
    bool hasVersionLine = false;
    bool namesMaker = false;
    for (const ControlTemplate& c : t.controls) {
        hasVersionLine |= c.text == "Glassbench Version 1.0";
        namesMaker |= c.text.find("Orvane") != std::string_view::npos;
    }
    EXPECT_TRUE(hasVersionLine);
    EXPECT_TRUE(namesMaker);
}

}  // namespace
}  // namespace glassbench::ui
