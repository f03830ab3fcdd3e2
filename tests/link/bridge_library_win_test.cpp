// Loading the bridge library as Windows XP, Vista and 7 without its loader update do: the
// restricted search flags are rejected, and the program's folder and the system folder are tried
// by full path. Which folder counts as the program's is given here, so the tests can use their own.
#include "link/bridge_library_win.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "link/bridge_library.h"
#include "tests/support/image_files.h"

namespace quorvanex {
namespace {

struct LoadCall {
    std::wstring name;
    DWORD flags;
};
std::vector<LoadCall> loadCalls;

// The loader of an older system: it knows no search flags.
HMODULE WINAPI LoadAsOlderSystem(LPCWSTR name, HANDLE reserved, DWORD flags) {
    loadCalls.push_back({name, flags});
    if ((flags & (LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadLibraryExW(name, reserved, flags);
}

// The release is the 32-bit program; the 64-bit test build asks for a library of its own kind and
// refuses a 32-bit copy.
const std::wstring kProgramBits = sizeof(void*) == 8 ? L"64" : L"32";

// A library built beside the tests, found from the test program's own path.
std::wstring BuiltLibrary(const wchar_t* relativePath) {
    wchar_t path[MAX_PATH];
    const std::wstring program(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return program.substr(0, program.find_last_of(L'\\') + 1) + relativePath;
}

class BridgeLibraryOnAnOlderSystem : public ::testing::Test {
  protected:
    BridgeLibraryOnAnOlderSystem() { loadCalls.clear(); }
    ~BridgeLibraryOnAnOlderSystem() override {
        for (HMODULE library : loaded_) {
            FreeLibrary(library);
        }
    }
    BridgeLibraryLoad Load() {
        BridgeLibraryLoad load = LoadBridgeLibraryFile(folder_, &LoadAsOlderSystem);
        if (load.library != nullptr) {
            loaded_.push_back(load.library);
        }
        return load;
    }
    void Place(const std::wstring& library) {
        ASSERT_TRUE(CopyFileW(library.c_str(), (folder_ + L"SiUSBXp.dll").c_str(), FALSE));
    }
    void PlaceBytes(const std::vector<unsigned char>& bytes) {
        std::ofstream file(scratch_.Path() / "SiUSBXp.dll", std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    test_support::ScratchFolder scratch_;
    const std::wstring folder_ = scratch_.Path().wstring() + L"\\";
    std::vector<HMODULE> loaded_;
};

TEST_F(BridgeLibraryOnAnOlderSystem, TriesTheProgramsFolderThenTheSystemFolderByFullPathOnly) {
    const BridgeLibraryLoad load = Load();
    EXPECT_EQ(load.library, nullptr);
    wchar_t system[MAX_PATH];
    const std::wstring systemFolder(system, GetSystemDirectoryW(system, MAX_PATH));
    ASSERT_EQ(loadCalls.size(), 3u);
    EXPECT_EQ(loadCalls[0].name, L"SiUSBXp.dll") << "the bare name only with the search flags";
    EXPECT_EQ(loadCalls[1].name, folder_ + L"SiUSBXp.dll");
    EXPECT_EQ(loadCalls[2].name, systemFolder + L"\\SiUSBXp.dll");
    EXPECT_EQ(load.problem, L"SiUSBXp.dll was not found in the folder " +
                                scratch_.Path().wstring() + L". Put the " + kProgramBits +
                                L"-bit USB bridge library there and start the update again.");
}

TEST_F(BridgeLibraryOnAnOlderSystem, LoadsTheLibraryInTheProgramsFolderAndFindsItsEightOperations) {
    Place(BuiltLibrary(L"..\\emulator-library\\SiUSBXp.dll"));
    const BridgeLibraryLoad load = Load();
    ASSERT_NE(load.library, nullptr) << std::string(load.problem.begin(), load.problem.end());
    EXPECT_EQ(loadCalls.size(), 2u) << "found in the program's folder, the first tried";
    BridgeOperations operations;
    std::wstring problem;
    EXPECT_TRUE(ResolveBridgeOperations(load.library, operations, problem));
    EXPECT_TRUE(BridgeOperationsComplete(operations));
}

TEST_F(BridgeLibraryOnAnOlderSystem, ALibraryWithoutAllEightOperationsIsNamedWithTheMissingOne) {
    Place(BuiltLibrary(L"incomplete-bridge-library\\SiUSBXp.dll"));
    const BridgeLibraryLoad load = Load();
    ASSERT_NE(load.library, nullptr);
    BridgeOperations operations;
    std::wstring problem;
    EXPECT_FALSE(ResolveBridgeOperations(load.library, operations, problem));
    EXPECT_EQ(problem.rfind(folder_ + L"SiUSBXp.dll has no operation with ordinal 2:", 0), 0u)
        << std::string(problem.begin(), problem.end());
}

TEST_F(BridgeLibraryOnAnOlderSystem, ACopyForTheOtherKindOfWindowsIsToldApartFromAMissingLibrary) {
    // The headers of a library for the other processor: "MZ", the offset of the PE header, "PE",
    // and the machine: x86-64 beside the 32-bit program, i386 beside the 64-bit one.
    const std::uint16_t otherMachine = sizeof(void*) == 8 ? 0x014C : 0x8664;
    std::vector<unsigned char> library(0x100, 0);
    library[0] = 'M';
    library[1] = 'Z';
    library[0x3C] = 0x80;
    library[0x80] = 'P';
    library[0x81] = 'E';
    library[0x84] = static_cast<unsigned char>(otherMachine & 0xFF);
    library[0x85] = static_cast<unsigned char>(otherMachine >> 8);
    PlaceBytes(library);
    const BridgeLibraryLoad load = Load();
    EXPECT_EQ(load.library, nullptr);
    const std::wstring expected =
        L"SiUSBXp.dll is not a " + kProgramBits + L"-bit library (a copy for " +
        (sizeof(void*) == 8 ? L"32" : L"64") + L"-bit Windows will not do)";
    EXPECT_EQ(load.problem.rfind(folder_ + expected, 0), 0u)
        << std::string(load.problem.begin(), load.problem.end());
    EXPECT_EQ(loadCalls.size(), 2u) << "a library that is there but unusable ends the search";

    PlaceBytes({'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'b', 'r', 'a', 'r', 'y'});
    EXPECT_EQ(Load().problem.rfind(folder_ + L"SiUSBXp.dll is not a Windows library", 0), 0u);
}

// The program's own loading, from the folder of the program that runs: here the tests'.
TEST(BridgeLibraryInTheProgramsFolder, AnUnusableLibraryIsReleasedAndTheNextTryLoadsItAfresh) {
    const std::wstring placed = BuiltLibrary(L"SiUSBXp.dll");
    ASSERT_TRUE(CopyFileW(BuiltLibrary(L"incomplete-bridge-library\\SiUSBXp.dll").c_str(),
                          placed.c_str(), FALSE));
    BridgeOperations operations;
    std::wstring problem;
    EXPECT_FALSE(LoadBridgeLibrary(operations, problem));
    EXPECT_NE(problem.find(L"has no operation with ordinal 2"), std::wstring::npos);
    EXPECT_EQ(GetModuleHandleW(placed.c_str()), nullptr) << "the unusable library is still loaded";

    // The operator puts the right library in its place while the program runs.
    ASSERT_TRUE(CopyFileW(BuiltLibrary(L"..\\emulator-library\\SiUSBXp.dll").c_str(),
                          placed.c_str(), FALSE))
        << "the unusable library could not be replaced: error " << GetLastError();
    problem.clear();
    EXPECT_TRUE(LoadBridgeLibrary(operations, problem))
        << std::string(problem.begin(), problem.end());
    EXPECT_TRUE(BridgeOperationsComplete(operations));

    if (HMODULE library = GetModuleHandleW(placed.c_str())) {
        FreeLibrary(library);
    }
    DeleteFileW(placed.c_str());
}

}  // namespace
}  // namespace quorvanex
