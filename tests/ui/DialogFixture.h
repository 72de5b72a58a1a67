// The real operator dialog on the offscreen platform, wired to a recorder and a recording
// serial link, with helpers to operate it as a person would.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>

#include "TempDir.h"
#include "UiTestSupport.h"
#include "serial/PortTables.h"
#include "ui/CloseUpComboBox.h"
#include "ui/PanelConsoleDlg.h"
#include "ui/TranscriptBox.h"

namespace glassbench::ui::testing {

class DialogFixture : public ::testing::Test {
  protected:
    // Thirty device paths in a private folder, none of which exists.
    serial::PortNames MissingPorts() const {
        serial::PortNames names;
        for (std::size_t i = 0; i < names.size(); ++i) {
            names[i] = (scratch.path() / ("missing" + std::to_string(i))).string();
        }
        return names;
    }

    void Create(const serial::PortNames& names) {
        link = std::make_unique<serial::SerialLink>(std::make_unique<RecordingSerialSystem>(log),
                                                    names, &toolkit);
        dialog = std::make_unique<CPanelConsoleDlg>(*link, toolkit);
        toolkit.SetDialog(dialog.get());
    }

    // Constructs, initialises and shows the dialog, as the application's start-up does.
    void Start(const serial::PortNames& names) {
        Create(names);
        ASSERT_TRUE(dialog->OnInitDialog());
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    CCloseUpComboBox* List(int id) const {
        return static_cast<CCloseUpComboBox*>(dialog->Control(id));
    }
    QLineEdit* Field(int id) const { return static_cast<QLineEdit*>(dialog->Control(id)); }
    CTranscriptBox* Transcript(int id) const {
        return static_cast<CTranscriptBox*>(dialog->Control(id));
    }
    std::string FieldText(int id) const { return Field(id)->text().toStdString(); }
    std::string ListText(int id) const { return List(id)->currentText().toStdString(); }
    std::string TranscriptText(int id) const { return Transcript(id)->Text().toStdString(); }

    // Drops the list down and clicks entry `index`, as the operator does.
    void ChooseFromList(int id, int index) {
        CCloseUpComboBox* list = List(id);
        list->showPopup();
        ASSERT_TRUE(list->view()->isVisible());
        const QModelIndex item = list->model()->index(index, 0);
        list->view()->scrollTo(item);
        QTest::mouseClick(list->view()->viewport(), Qt::LeftButton, {},
                          list->view()->visualRect(item).center());
        ASSERT_FALSE(list->view()->isVisible());
    }

    // Drops the list down and closes it again without a choice.
    void DropDownAndClose(int id) {
        CCloseUpComboBox* list = List(id);
        list->showPopup();
        ASSERT_TRUE(list->view()->isVisible());
        QTest::keyClick(list->view(), Qt::Key_Escape);
        ASSERT_FALSE(list->view()->isVisible());
    }

    // Waits until the log has at least `count` lines (queued handlers have run).
    bool WaitForLog(std::size_t count) {
        return ProcessEventsUntil([&] { return log.size() >= count; });
    }

    void ClickSend() { QTest::mouseClick(dialog->Control(kIdcSendData), Qt::LeftButton); }

    glassbench::testing::TempDir scratch;
    Log log;
    RecordingToolkit toolkit{log};
    std::unique_ptr<serial::SerialLink> link;
    std::unique_ptr<CPanelConsoleDlg> dialog;
};

// The lines of a successful open as the link does it: it raises both lines while it
// configures the port.
inline Log OpenedLines(const std::string& device) {
    return {OpenLine(device), ModemLine(true, true)};
}

// What the window does once a port has opened.
inline Log PulseAndConfirmLines(const std::string& device, const std::string& speed) {
    return {"busy on",
            ModemLine(false, false),
            "pause 1000",
            ModemLine(true, true),
            MessageLine("Orvane Glassbench", "information", "dialog",
                        "Port " + device + " opened at " + speed + " baud."),
            "busy off"};
}

inline Log Concat(std::initializer_list<Log> parts) {
    Log all;
    for (const Log& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

}  // namespace glassbench::ui::testing
