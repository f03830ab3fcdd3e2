#include "emulator/spi_flash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quorvanex::emulator {
namespace {

std::vector<FlashMisuse> KindsOf(const SpiFlash& flash) {
    std::vector<FlashMisuse> kinds;
    for (const auto& misuse : flash.Misuses()) {
        kinds.push_back(misuse.kind);
    }
    return kinds;
}

TEST(SpiFlash, StartsErasedAndProgramsOnlyByClearingBits) {
    SpiFlash flash;
    EXPECT_TRUE(std::all_of(flash.Contents().begin(), flash.Contents().end(),
                            [](std::uint8_t byte) { return byte == 0xFF; }));

    const std::uint8_t first[] = {0xF0, 0x12};
    flash.WriteEnable(0);
    flash.ProgramPage(0x100, first, 0, 0);
    EXPECT_EQ(flash.Read(0x100, 2)[0], 0xF0);
    EXPECT_EQ(flash.Read(0x100, 2)[1], 0x12);
    EXPECT_TRUE(flash.Misuses().empty());

    // A second program over the same bytes can only clear more bits: the result is the AND.
    const std::uint8_t second[] = {0x0F, 0xFF};
    flash.WriteEnable(0);
    flash.ProgramPage(0x100, second, 0, 0);
    EXPECT_EQ(flash.Read(0x100, 1)[0], 0x00);
    EXPECT_EQ(flash.Read(0x101, 1)[0], 0x12);
    EXPECT_EQ(KindsOf(flash), std::vector{FlashMisuse::ProgramOfUnerasedByte});
}

TEST(SpiFlash, EraseAndProgramNeedAWriteEnableEachAndTheLatchClearsAfterEach) {
    SpiFlash flash;
    const std::uint8_t data[] = {0x00};
    flash.ProgramPage(0, data, 0, 0);
    EXPECT_EQ(flash.Read(0, 1)[0], 0xFF) << "a program without write enable is ignored";

    flash.WriteEnable(0);
    EXPECT_EQ(flash.ReadStatus(0), SpiFlash::kStatusWriteEnableLatch);
    flash.ProgramPage(0, data, 0, 0);
    EXPECT_EQ(flash.Read(0, 1)[0], 0x00);
    EXPECT_EQ(flash.ReadStatus(0), 0) << "the latch clears after the program";

    flash.EraseSector(0, 0, 0);
    EXPECT_EQ(flash.Read(0, 1)[0], 0x00) << "an erase without write enable is ignored";
    EXPECT_EQ(KindsOf(flash), (std::vector{FlashMisuse::ProgramWithoutWriteEnable,
                                           FlashMisuse::EraseWithoutWriteEnable}));
}

TEST(SpiFlash, WriteInProgressStaysSetForTheEraseTimeAndBlocksCommands) {
    SpiFlash flash;
    flash.Fill(0x00);
    flash.WriteEnable(1000);
    flash.EraseSector(0x20000, 1000, 150000);
    EXPECT_EQ(flash.ReadStatus(1000) & SpiFlash::kStatusWriteInProgress, 1);
    EXPECT_EQ(flash.ReadStatus(150999) & SpiFlash::kStatusWriteInProgress, 1);
    EXPECT_EQ(flash.ReadStatus(151000) & SpiFlash::kStatusWriteInProgress, 0);

    // Only the erased block reads 0xFF.
    EXPECT_EQ(flash.Read(0x1FFFF, 1)[0], 0x00);
    EXPECT_EQ(flash.Read(0x20000, 1)[0], 0xFF);
    EXPECT_EQ(flash.Read(0x2FFFF, 1)[0], 0xFF);
    EXPECT_EQ(flash.Read(0x30000, 1)[0], 0x00);

    // While busy a write enable is ignored, so the next erase has no latch either.
    flash.WriteEnable(2000);
    flash.EraseSector(0x30000, 200000, 0);
    EXPECT_EQ(flash.Read(0x30000, 1)[0], 0x00);
    EXPECT_EQ(KindsOf(flash),
              (std::vector{FlashMisuse::CommandWhileBusy, FlashMisuse::EraseWithoutWriteEnable}));
}

TEST(SpiFlash, RecordsMisalignedEraseAndPageWrapAndStuckBusy) {
    SpiFlash flash;
    flash.Fill(0x00);
    flash.WriteEnable(0);
    flash.EraseSector(0x10010, 0, 0);
    EXPECT_EQ(flash.Read(0x10000, 1)[0], 0xFF) << "the block that holds the address is erased";

    // A program that runs past its 256-byte page wraps to the page's start.
    const std::uint8_t data[] = {0x11, 0x22, 0x33, 0x44};
    flash.WriteEnable(0);
    flash.ProgramPage(0x100FE, data, 0, 0);
    EXPECT_EQ(flash.Read(0x100FE, 1)[0], 0x11);
    EXPECT_EQ(flash.Read(0x100FF, 1)[0], 0x22);
    EXPECT_EQ(flash.Read(0x10000, 1)[0], 0x33);
    EXPECT_EQ(flash.Read(0x10100, 1)[0], 0xFF);
    EXPECT_EQ(KindsOf(flash),
              (std::vector{FlashMisuse::MisalignedErase, FlashMisuse::PageBoundaryCrossed}));

    flash.SetStuckBusy(true);
    flash.WriteEnable(0);
    flash.EraseSector(0, 0, 10);
    EXPECT_TRUE(flash.Busy(1000000000));
}

TEST(SpiFlash, APowerCutKeepsWhatAnEraseOrAProgramHadDoneAndNothingMore) {
    std::vector<std::uint8_t> old(SpiFlash::kSize, 0x5A);
    SpiFlash flash(old);
    // An erase of 100 time units cut at 60: the first 36 KiB erased, 4 KiB after 4 KiB.
    flash.WriteEnable(0);
    flash.EraseSector(0x10000, 0, 100);
    EXPECT_EQ(flash.MiddleOfOperation(), 50u);
    flash.CutPower(60);
    EXPECT_EQ(flash.Read(0x10000 + 0x8FFF, 1)[0], 0xFF);
    EXPECT_EQ(flash.Read(0x10000 + 0x9000, 1)[0], 0x5A);
    EXPECT_EQ(flash.Read(0x1FFFF, 1)[0], 0x5A);
    EXPECT_FALSE(flash.Busy(60)) << "a flash without power works no more";

    // A program of 8 bytes cut halfway: its first 4 bytes programmed, in order.
    const std::uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    flash.WriteEnable(100);
    flash.ProgramPage(0x10000, data, 100, 10);
    flash.CutPower(flash.MiddleOfOperation());
    EXPECT_EQ(flash.Read(0x10003, 1)[0], 4);
    EXPECT_EQ(flash.Read(0x10004, 1)[0], 0xFF) << "as the erase left it";

    // Cut after it ended, it is whole; the flash powers up again with what it held.
    flash.WriteEnable(200);
    flash.EraseSector(0x20000, 200, 10);
    flash.CutPower(250);
    EXPECT_EQ(flash.Read(0x2FFFF, 1)[0], 0xFF);
    const SpiFlash again(flash.Contents());
    EXPECT_EQ(again.Contents(), flash.Contents());
}

TEST(SpiFlash, TellsWhetherARangeHoldsOnlyWhatItsCommandsPutThere) {
    SpiFlash flash(std::vector<std::uint8_t>(SpiFlash::kSize, 0x5A));
    EXPECT_FALSE(flash.ErasedBeforeWritten(0x10000, 0x30000)) << "nothing erased yet";
    const std::uint8_t data[4] = {1, 2, 3, 4};
    flash.WriteEnable(0);
    flash.EraseSector(0x10000, 0, 0);
    flash.WriteEnable(1);
    flash.ProgramPage(0x10000, data, 1, 0);
    EXPECT_TRUE(flash.ErasedBeforeWritten(0x10000, 0x20000));
    EXPECT_FALSE(flash.ErasedBeforeWritten(0x10000, 0x30000)) << "its second sector kept";
    // A page programmed over the given contents: what it holds depends on them, even once its
    // sector is erased afterwards.
    flash.WriteEnable(2);
    flash.ProgramPage(0x20000, data, 2, 0);
    flash.WriteEnable(3);
    flash.EraseSector(0x20000, 3, 0);
    EXPECT_FALSE(flash.ErasedBeforeWritten(0x10000, 0x30000));
    flash.Fill(0x00);
    EXPECT_FALSE(flash.ErasedBeforeWritten(0x10000, 0x20000)) << "new contents given";
}

TEST(SpiFlash, AHarshFlashCutInItsCourseLeavesUnknownBitsTheSameInEveryRun) {
    const auto cutRun = [] {
        SpiFlash flash(std::vector<std::uint8_t>(SpiFlash::kSize, 0x5A));
        flash.SetHarsh(true);
        // An erase cut at its very start: the whole sector in unknown bits, its neighbours kept.
        flash.WriteEnable(0);
        flash.EraseSector(0x10000, 0, 100);
        flash.CutPower(1);
        const auto sector = flash.Read(0x10000, SpiFlash::kSectorSize);
        std::vector<std::uint8_t> erased(sector.begin(), sector.end());
        EXPECT_EQ(flash.Read(0xFFFF, 1)[0], 0x5A);
        EXPECT_EQ(flash.Read(0x20000, 1)[0], 0x5A);

        // A program cut halfway over an erased page: only bits it clears are cleared, some of
        // them, in every byte alike.
        const std::vector<std::uint8_t> data(32, 0x00);
        flash.WriteEnable(100);
        flash.EraseSector(0x30000, 100, 1);
        flash.WriteEnable(200);
        flash.ProgramPage(0x30000, data, 200, 10);
        flash.CutPower(flash.MiddleOfOperation());
        const auto page = flash.Read(0x30000, 32);
        erased.insert(erased.end(), page.begin(), page.end());
        return erased;
    };
    const std::vector<std::uint8_t> first = cutRun();
    EXPECT_EQ(cutRun(), first) << "pseudo-random, so that a run repeats";
    const auto count = [&first](std::size_t from, std::size_t to, std::uint8_t value) {
        return std::count(first.begin() + from, first.begin() + to, value);
    };
    EXPECT_LT(count(0, SpiFlash::kSectorSize, 0xFF), 1024) << "neither erased";
    EXPECT_LT(count(0, SpiFlash::kSectorSize, 0x5A), 1024) << "nor kept";
    const std::size_t page = SpiFlash::kSectorSize;
    EXPECT_LT(count(page, page + 32, 0x00), 8) << "not programmed whole";
    EXPECT_LT(count(page, page + 32, 0xFF), 8) << "nor left erased";
}

}  // namespace
}  // namespace quorvanex::emulator
