#include "update/fatal_stop.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/device_connection.h"
#include "link/link_lock.h"
#include "tests/support/emulated_device_test.h"
#include "update/exit_code.h"

namespace quorvanex {
namespace {

using emulator::BridgeOperation;
using emulator::DeviceConfig;
using test_support::HostEvent;
using test_support::HostEventKind;
using test_support::Padded;

class FatalStopTest : public test_support::EmulatedDeviceTest {
  protected:
    // Runs the fatal stop and returns the exit code it ended the process with (-1: it returned).
    int RunFatalStop(FatalCode code) {
        try {
            FatalStop(code);
        } catch (const test_support::ProcessEnded& ended) {
            return ended.exitCode;
        }
        return -1;
    }
    std::vector<HostEventKind> EventKinds() const {
        std::vector<HostEventKind> kinds;
        for (const HostEvent& event : host.Events()) {
            kinds.push_back(event.kind);
        }
        return kinds;
    }
};

TEST_F(FatalStopTest, PaintsTheTextShowsTheBoxThenClosesDeviceAndWindowAndExitsWithOne) {
    OpenConnectedDevice();
    bool openWhileBoxShown = false;
    host.OnEvent([&](const HostEvent& event) {
        if (event.kind == HostEventKind::Notice) {
            openWhileBoxShown = DeviceIsOpen();
        }
    });
    EXPECT_EQ(RunFatalStop(kFatalWrite), 1);

    EXPECT_EQ(EventKinds(), (std::vector{HostEventKind::StatusLine, HostEventKind::Notice,
                                         HostEventKind::CloseRequest, HostEventKind::ProcessEnd}));
    const HostEvent line = host.StatusLines()[0];
    EXPECT_EQ(line.text, Padded(L"Write error", 36));
    EXPECT_EQ(line.y, 10);
    const HostEvent box = host.Notices()[0];
    EXPECT_EQ(box.text, L" ");
    EXPECT_EQ(box.caption, L"Critical Error!!! ");
    EXPECT_EQ(box.icon, NoticeIcon::Warning);
    EXPECT_TRUE(openWhileBoxShown) << "the device is closed only after the box";
    EXPECT_FALSE(DeviceIsOpen());
    EXPECT_FALSE(LinkLockInitialized());
    EXPECT_FALSE(FirstDevice().IsOpen());
    // The window's own way out, which the close request sets going, ends with 1 as well.
    EXPECT_EQ(ProgramExitCode(0), 1);
}

TEST_F(FatalStopTest, EachCodePaintsItsOwnText) {
    const std::vector<std::wstring> texts = {
        Padded(L"SPI Speed error", 36),  Padded(L"Select Flash error", 36),
        Padded(L"Boot error", 36),       Padded(L"Flash Read error", 36),
        Padded(L"Write error", 36),      Padded(L"Chip Erase error", 36),
        Padded(L"Chip Write error", 36), Padded(L"Chip Erase error", 37),
    };
    for (FatalCode code = 1; code <= 8; ++code) {
        host.Clear();
        EXPECT_EQ(RunFatalStop(code), 1);
        ASSERT_EQ(host.StatusTexts().size(), 1u);
        EXPECT_EQ(host.StatusTexts()[0], texts[code - 1]) << "code " << int{code};
    }
}

TEST_F(FatalStopTest, CodesOutsideOneToEightReturnAndChangeNothing) {
    OpenConnectedDevice();
    for (FatalCode code : {0, 9, 255}) {
        EXPECT_EQ(RunFatalStop(code), -1);
    }
    EXPECT_TRUE(host.Events().empty());
    EXPECT_TRUE(DeviceIsOpen());
    EXPECT_EQ(bridge.Calls(BridgeOperation::CloseBridgeDevice), 0u);
    EXPECT_EQ(ProgramExitCode(0), 0);
}

TEST_F(FatalStopTest, AFailedCloseIsToldAfterTheFatalBoxAndTheExitCodeStaysOne) {
    DeviceConfig config;
    config.faults.closeFails = true;
    OpenConnectedDevice(config);
    EXPECT_EQ(RunFatalStop(kFatalChipWrite), 1);
    EXPECT_EQ(host.NoticeTexts(),
              (std::vector<std::wstring>{L" ", L"Unable to close device handle!"}));
    EXPECT_EQ(host.Notices()[1].caption, L" ");
    EXPECT_FALSE(DeviceIsOpen());
}

TEST_F(FatalStopTest, WithoutAnOpenDeviceItStillStopsWithoutABridgeCall) {
    bridge.Attach();
    EXPECT_EQ(RunFatalStop(kFatalSpiSpeed), 1);
    EXPECT_EQ(bridge.TotalCalls(), 0u);
    EXPECT_EQ(host.NoticeTexts(), std::vector<std::wstring>{L" "});
}

using FatalStopDeathTest = FatalStopTest;

TEST_F(FatalStopDeathTest, TheProcessReallyEndsWithExitCodeOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    OpenConnectedDevice();
    EXPECT_EXIT(
        {
            // The portable services end the process for real.
            InstallOperatorServices(nullptr);
            FatalStop(kFatalWrite);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EXIT(
        {
            InstallOperatorServices(nullptr);
            FatalStop(kFatalChipEraseLong);
        },
        ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace quorvanex
