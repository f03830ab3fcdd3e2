#include "emulator/loader.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvanex::emulator {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes PageFrame(std::uint32_t address, const Bytes& data) {
    Bytes frame = {0x00,
                   static_cast<std::uint8_t>(data.size()),
                   0xD7,
                   0x02,
                   static_cast<std::uint8_t>(address >> 16),
                   static_cast<std::uint8_t>(address >> 8),
                   static_cast<std::uint8_t>(address)};
    std::uint8_t sum = 0;
    for (std::uint8_t byte : data) {
        frame.push_back(byte);
        sum = static_cast<std::uint8_t>(sum + byte);
    }
    frame.push_back(static_cast<std::uint8_t>(0x100 - sum));
    return frame;
}

Bytes EraseFrame(std::uint8_t sector) {
    return {0x00, 0x07, 0xD0, 0xD8, sector, 0x00, 0x00};
}

const Bytes kWriteEnable = {0x00, 0x04, 0xD0, 0x06};
const Bytes kStatusRead = {0x01, 0x01, 0xD0, 0x05};

TEST(Loader, AcknowledgesWriteEnableAndEraseWithTheComplementOfTheByteSum) {
    Loader loader(DeviceTimings{});
    EXPECT_EQ(loader.Handle(kWriteEnable, 0).reply, Bytes{0x26});
    EXPECT_EQ(loader.Handle(EraseFrame(0), 0).reply, Bytes{0x51});
    for (const auto& [sector, acknowledgement] :
         std::vector<std::pair<std::uint8_t, std::uint8_t>>{{10, 0x47}, {16, 0x41}, {29, 0x34}}) {
        loader.Handle(kWriteEnable, 0);
        EXPECT_EQ(loader.Handle(EraseFrame(sector), 0).reply, Bytes{acknowledgement})
            << "sector " << int{sector};
    }
}

TEST(Loader, EchoesKnownControlCodesOnlyAndRecordsThemInOrder) {
    Loader loader(DeviceTimings{});
    for (std::uint8_t code : {0xDB, 0xD6, 0xD5, 0xD8, 0xDC}) {
        EXPECT_EQ(loader.Handle(Bytes{0x01, 0x01, code}, 0).reply, Bytes{code});
    }
    EXPECT_NE(loader.Handle(Bytes{0x01, 0x01, 0xD7}, 0).reply, Bytes{0xD7});
    EXPECT_EQ(loader.ControlCodes(), (Bytes{0xDB, 0xD6, 0xD5, 0xD8, 0xDC}));
    EXPECT_EQ(loader.FpgaState(), 0xDC);
    EXPECT_TRUE(loader.SpeedSelected());
    EXPECT_EQ(loader.Handle(Bytes{0x01, 0x02, 0xD6}, 0).reply, Bytes{kLoaderRejects});
}

TEST(Loader, ReadyPollReportsNotReadyForTheBusyTimeAfterWriteActive) {
    DeviceTimings timings;
    timings.writeActiveBusyMicroseconds = 50000;
    Loader loader(timings);
    const Bytes poll = {0x01, 0x01, 0xDA};
    EXPECT_EQ(loader.Handle(poll, 0).reply, (Bytes{0xDA, 0x01}));
    loader.Handle(Bytes{0x01, 0x01, 0xD9}, 1000);
    EXPECT_EQ(loader.Handle(poll, 1000).reply, (Bytes{0xDA, 0x00}));
    EXPECT_EQ(loader.Handle(poll, 50999).reply, (Bytes{0xDA, 0x00}));
    EXPECT_EQ(loader.Handle(poll, 51000).reply, (Bytes{0xDA, 0x01}));

    loader.SetNeverReady(true);
    EXPECT_EQ(loader.Handle(poll, 10000000).reply, (Bytes{0xDA, 0x00}));
}

TEST(Loader, ProgramsAPageOnlyWhenItsChecksumHoldsAndAnswersAfterTheProgramTime) {
    DeviceTimings timings;
    timings.pageProgramMicroseconds = 100;
    Loader loader(timings);
    const Bytes data = {0x01, 0x02, 0x03};
    const LoaderAnswer accepted = loader.Handle(PageFrame(0x0A0020, data), 0);
    EXPECT_EQ(accepted.reply, Bytes{kPageAccepted});
    EXPECT_EQ(accepted.deviceMicroseconds, 100u);
    const auto written = loader.Flash().Read(0x0A0020, 3);
    EXPECT_EQ(Bytes(written.begin(), written.end()), data);

    Bytes corrupt = PageFrame(0x0A0040, data);
    corrupt.back() ^= 0x01;
    EXPECT_EQ(loader.Handle(corrupt, 1000).reply, Bytes{kLoaderRejects});
    EXPECT_EQ(loader.Flash().Read(0x0A0040, 1)[0], 0xFF);
    EXPECT_EQ(loader.PagesAccepted(), 1u);
    EXPECT_EQ(loader.PagesRejected(), 1u);

    // Byte 1 carries the data count; a frame whose length disagrees with it is malformed.
    Bytes wrongCount = PageFrame(0x0A0060, data);
    wrongCount[1] = 4;
    EXPECT_EQ(Loader::Classify(wrongCount), FrameKind::Malformed);
}

TEST(Loader, StatusReadShowsTheEraseInProgress) {
    DeviceTimings timings;
    timings.sectorEraseMicroseconds = 2000;
    Loader loader(timings);
    loader.Handle(kWriteEnable, 0);
    EXPECT_EQ(loader.Handle(kStatusRead, 0).reply, Bytes{0x02});
    loader.Handle(EraseFrame(3), 0);
    EXPECT_EQ(loader.Handle(kStatusRead, 1999).reply[0] & 0x01, 0x01);
    EXPECT_EQ(loader.Handle(kStatusRead, 2000).reply[0] & 0x01, 0x00);
}

TEST(Loader, SnapshotAtWriteActiveHoldsWhatWasWrittenSinceThePreviousOne) {
    Loader loader(DeviceTimings{});
    const Bytes first(40, 0x11);
    loader.Handle(PageFrame(0x100000, Bytes(first.begin(), first.begin() + 32)), 0);
    loader.Handle(PageFrame(0x100020, Bytes(first.begin() + 32, first.end())), 0);
    loader.Handle(Bytes{0x01, 0x01, 0xD9}, 0);

    // A second image over the same region, after an erase.
    loader.Handle(kWriteEnable, 0);
    loader.Handle(EraseFrame(16), 0);
    loader.Handle(PageFrame(0x100000, Bytes(8, 0x22)), 0);
    loader.Handle(Bytes{0x01, 0x01, 0xD9}, 0);
    loader.Handle(Bytes{0x01, 0x01, 0xD9}, 0);

    ASSERT_EQ(loader.Snapshots().size(), 3u);
    EXPECT_EQ(loader.Snapshots()[0].firstAddress, 0x100000u);
    EXPECT_EQ(loader.Snapshots()[0].bytes, first);
    EXPECT_EQ(loader.Snapshots()[1].bytes, Bytes(8, 0x22));
    EXPECT_TRUE(loader.Snapshots()[2].bytes.empty());
    EXPECT_TRUE(loader.Flash().Misuses().empty());
}

}  // namespace
}  // namespace quorvanex::emulator
