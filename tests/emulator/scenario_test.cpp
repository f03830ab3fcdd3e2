#include "emulator/scenario.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/image_files.h"

namespace quorvanex::emulator {
namespace {

TEST(Scenario, ReadsDevicesTimingsFaultsAndOutputs) {
    const char* text = R"(# two devices, the second one ours
device 1999
device 2026
product QUORVANEX on the bench
reply-latency-us 1000
sector-erase-us 150000
fault close-fails
exchange-fault wrong-reply page-write 3 2
exchange-fault short-read control:D6 1 0 bytes=1
exchange-fault scripted-reply ready-poll 2 reply=01,DA
exchange-fault queue-check-fails any 7 checks=3
count-fails
output-summary out/summary.txt
)";
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(text, scenario, error)) << error;
    ASSERT_EQ(scenario.devices.size(), 2u);
    EXPECT_EQ(scenario.devices[0].serial, "1999");
    const DeviceConfig& ours = scenario.devices[1];
    EXPECT_EQ(ours.product, "QUORVANEX on the bench");
    EXPECT_EQ(scenario.devices[0].timings.replyLatencyMicroseconds, 1000u);
    EXPECT_EQ(ours.timings.sectorEraseMicroseconds, 150000u);
    EXPECT_TRUE(ours.faults.closeFails);
    EXPECT_FALSE(scenario.devices[0].faults.closeFails);
    ASSERT_EQ(ours.faults.exchanges.size(), 4u);
    EXPECT_EQ(ours.faults.exchanges[0].fault, ExchangeFault::WrongReply);
    EXPECT_EQ(ours.faults.exchanges[0].frames.kind, FrameKind::PageWrite);
    EXPECT_EQ(ours.faults.exchanges[0].frames.occurrence, 3u);
    EXPECT_EQ(ours.faults.exchanges[0].frames.count, 2u);
    EXPECT_EQ(ours.faults.exchanges[1].frames.controlCode, std::uint8_t{0xD6});
    EXPECT_EQ(ours.faults.exchanges[1].frames.count, 0u);
    EXPECT_EQ(ours.faults.exchanges[1].amount, 1u);
    EXPECT_EQ(ours.faults.exchanges[2].replyBytes, (std::vector<std::uint8_t>{0x01, 0xDA}));
    EXPECT_FALSE(ours.faults.exchanges[3].frames.kind.has_value());
    EXPECT_EQ(ours.faults.exchanges[3].amount, 3u);
    EXPECT_TRUE(scenario.countFails);
    EXPECT_EQ(scenario.outputs.summaryPath, "out/summary.txt");
}

TEST(Scenario, EveryFaultOfTheTablesIsReachableByItsWord) {
    std::string text = "device 2026\n";
#define QUORVANEX_DEVICE_FAULT_LINE(name, word, description) text += "fault " word "\n";
    QUORVANEX_DEVICE_FAULTS(QUORVANEX_DEVICE_FAULT_LINE)
#undef QUORVANEX_DEVICE_FAULT_LINE
#define QUORVANEX_EXCHANGE_FAULT_LINE(name, word, parameter, fallback, description) \
    text += "exchange-fault " word " any 1\n";
    QUORVANEX_EXCHANGE_FAULTS(QUORVANEX_EXCHANGE_FAULT_LINE)
#undef QUORVANEX_EXCHANGE_FAULT_LINE
#define QUORVANEX_POWER_CUT_LINE(name, word, description) \
    text += "power-cut sector-erase 2 " word "\n";
    QUORVANEX_POWER_CUTS(QUORVANEX_POWER_CUT_LINE)
#undef QUORVANEX_POWER_CUT_LINE
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(text, scenario, error)) << error;
    const DeviceFaults& faults = scenario.devices.front().faults;
    const std::string listed = ScenarioFaults();
    ASSERT_TRUE(faults.powerCut);
    EXPECT_EQ(faults.powerCut->moment, PowerCutMoment::After) << "the last one given";
    EXPECT_EQ(faults.powerCut->frames.kind, FrameKind::SectorErase);
    EXPECT_EQ(faults.powerCut->frames.occurrence, 2u);
    EXPECT_NE(listed.find("power-cut"), std::string::npos);
    Scenario wrong;
    EXPECT_FALSE(ParseScenario("device 2026\npower-cut page-write 0 during\n", wrong, error));
    EXPECT_FALSE(ParseScenario("device 2026\npower-cut page-write 3 later\n", wrong, error));
    EXPECT_FALSE(faults.powerCut->backAfterMilliseconds) << "for good unless a dip is given";
    EXPECT_NE(listed.find(kPowerBackWord), std::string::npos);
    Scenario dip;
    ASSERT_TRUE(ParseScenario("device 2026\npower-cut sector-erase 2 after back-after-ms=1500\n",
                              dip, error))
        << error;
    EXPECT_EQ(dip.devices.front().faults.powerCut->backAfterMilliseconds, 1500u);
    for (const char* odd : {"back-after-ms=", "back-after-ms=x", "back-after=5", "5"}) {
        EXPECT_FALSE(ParseScenario(
            std::string("device 2026\npower-cut page-write 3 during ") + odd + "\n", wrong, error))
            << odd;
    }
#define QUORVANEX_DEVICE_FAULT_SET(name, word, description) \
    EXPECT_TRUE(faults.name) << word;                       \
    EXPECT_NE(listed.find(word), std::string::npos) << word;
    QUORVANEX_DEVICE_FAULTS(QUORVANEX_DEVICE_FAULT_SET)
#undef QUORVANEX_DEVICE_FAULT_SET
    std::size_t row = 0;
#define QUORVANEX_EXCHANGE_FAULT_READ(name, word, parameter, fallback, description) \
    EXPECT_EQ(faults.exchanges.at(row).fault, ExchangeFault::name) << word;         \
    EXPECT_EQ(faults.exchanges.at(row++).amount, std::uint32_t{fallback}) << word;  \
    EXPECT_NE(listed.find(word), std::string::npos) << word;
    QUORVANEX_EXCHANGE_FAULTS(QUORVANEX_EXCHANGE_FAULT_READ)
#undef QUORVANEX_EXCHANGE_FAULT_READ
}

TEST(Scenario, NamesTheLineItCannotRead) {
    const char* wrong[] = {
        "device 2026\nfault melts\n",
        "device 2026\nexchange-fault wrong-reply page-write 0\n",
        "fault close-fails\n",
        "device 2026\nreply-latency-us fast\n",
        "device 2026\n\nexchange-fault scripted-reply any 1 reply=1G\n",
        "frobnicate\n",
    };
    const int lines[] = {2, 2, 1, 2, 3, 1};
    for (std::size_t i = 0; i < std::size(wrong); ++i) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(ParseScenario(wrong[i], scenario, error)) << wrong[i];
        EXPECT_EQ(error.rfind("line " + std::to_string(lines[i]) + ":", 0), 0u) << error;
    }
}

// One page frame and a write active to the unit opened, then the scenario's outputs written.
class ScenarioOutputs : public ::testing::Test {
  protected:
    void SendPageAndWriteActive(const std::string& statements, std::uint32_t unit) {
        Scenario scenario;
        std::string error;
        ASSERT_TRUE(ParseScenario(statements, scenario, error)) << error;
        VirtualClock clock;
        EmulatedBridge bridge(clock);
        AttachScenarioDevices(scenario, bridge);
        BridgeHandle handle = nullptr;
        ASSERT_EQ(bridge.OpenBridgeDevice(unit, &handle), kBridgeSuccess);
        std::uint32_t written = 0;
        const std::uint8_t page[] = {0x00, 0x01, 0xD7, 0x02, 0x10, 0x00, 0x00, 0x5A, 0xA6};
        const std::uint8_t writeActive[] = {0x01, 0x01, 0xD9};
        bridge.WriteFrame(handle, page, sizeof page, &written, nullptr);
        bridge.WriteFrame(handle, writeActive, sizeof writeActive, &written, nullptr);
        ASSERT_TRUE(WriteScenarioOutputs(scenario.outputs, bridge));
    }
    std::string Read(const std::string& name) {
        std::ifstream file(folder.Path() / name, std::ios::binary);
        std::stringstream contents;
        contents << file.rdbuf();
        return contents.str();
    }
    std::string FirstLine(const std::string& name) {
        const std::string text = Read(name);
        return text.substr(0, text.find('\n'));
    }

    test_support::ScratchFolder folder;
    const std::string prefix = folder.Path().string() + "/";
};

TEST_F(ScenarioOutputs, ShowWhatTheDeviceReceived) {
    SendPageAndWriteActive("device 2026\noutput-summary " + prefix + "summary.txt\n" +
                               "output-snapshots " + prefix + "snapshot\n" + "output-trace " +
                               prefix + "trace.txt\n",
                           0);
    const std::string summary = Read("summary.txt");
    EXPECT_NE(summary.find("control-codes D9\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("snapshot 0 address=1048576 size=1"), std::string::npos);
    EXPECT_EQ(Read("snapshot-0.bin"), "\x5A");
    EXPECT_EQ(FirstLine("trace.txt"), "0 0 frame page-write 00 01 D7 02 10 00 00 5A A6");
}

TEST_F(ScenarioOutputs, NamedByUnitAreWrittenForEachUnitThatThisProgramOpened) {
    // Three units of one scenario; this program updates unit 1, another program the others.
    SendPageAndWriteActive("device 2026\ndevice 2026\ndevice 2026\noutput-snapshots " + prefix +
                               "snapshot-{unit}\noutput-summary " + prefix +
                               "summary-{unit}.txt\noutput-trace " + prefix + "trace-{unit}.txt\n",
                           1);
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "summary-0.txt")) << "never opened here";
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "summary-2.txt"));
    const std::string summary = Read("summary-1.txt");
    EXPECT_NE(summary.find("device 1 serial=2026 opened=1"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("device 0"), std::string::npos) << "that unit's alone";
    EXPECT_NE(summary.find("file=" + prefix + "snapshot-1-0.bin"), std::string::npos);
    EXPECT_EQ(Read("snapshot-1-0.bin"), "\x5A");
    EXPECT_EQ(FirstLine("trace-1.txt"), "0 1 frame page-write 00 01 D7 02 10 00 00 5A A6");
}

}  // namespace
}  // namespace quorvanex::emulator
