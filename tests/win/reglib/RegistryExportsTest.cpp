#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "CorvaneRegDll.h"
#include "FakeSystem.h"
#include "TestRegistry.h"

namespace {

using reglib::kDone;
using reglib::kNotDone;
using namespace regtest;

const HKEY kMachine = HKEY_LOCAL_MACHINE;
const HKEY kUser = HKEY_CURRENT_USER;
const std::string kClass = "System\\CurrentControlSet\\Services\\Class\\";

// The systems the version-dependent exports tell apart, as GetVersionExA describes them.
const VersionRecord kWin98 = {1, 4, 10, " "};
const VersionRecord kWin98SE = {1, 4, 10, " A "};
const VersionRecord kWinXp = {2, 5, 1, "Service Pack 3"};
const VersionRecord kWin2000 = {2, 5, 0, "Service Pack 4"};
const VersionRecord kWin7 = {2, 6, 1, "Service Pack 1"};

TEST(UltraDma, SetsBothDrivesOnIosControllersOnlyOn98AndXp) {
    const std::string hdc = kClass + "hdc\\";
    const struct {
        const char* system;
        const VersionRecord& version;
        const char* loader;
        uint32_t result;
    } runs[] = {{"98", kWin98, "*IOS", kDone},        {"98 SE", kWin98SE, "*IOS", kDone},
                {"XP", kWinXp, "*IOS", kDone},        {"XP", kWinXp, "*IOS ", kNotDone},
                {"2000", kWin2000, "*IOS", kNotDone}, {"7", kWin7, "*IOS", kNotDone}};
    for (const auto& run : runs) {
        const ScopedKeys keys(kMachine, {hdc});
        PutText(kMachine, hdc + "0000", "DevLoader", run.loader);
        PutText(kMachine, hdc + "0001", "DevLoader", "*ESDI_506");
        const PretendWindows windows(run.version);
        ASSERT_TRUE(windows.Ready());
        EXPECT_EQ(CORVANE(EnableUltraDMA)(), run.result) << run.system;
        const std::string loader = "DevLoader=\"" + std::string(run.loader) + "\"";
        const std::string dma = "\nIDEDMADRIVE0=01\nIDEDMADRIVE1=01";
        EXPECT_EQ(Dump(kMachine, hdc + "0000"), loader + (run.result == kDone ? dma : ""));
        EXPECT_EQ(Dump(kMachine, hdc + "0001"), "DevLoader=\"*ESDI_506\"");
    }
}

class Camcorders : public ::testing::Test {
  protected:
    const std::string first = "Enum\\1394\\A02D&10000\\";
    const std::string second = "Enum\\1394\\A02D&10001\\";
    const ScopedKeys keys{kMachine, {first, second, kClass + "Image"}};

    void Device(const std::string& path, const char* description, const char* driver = nullptr,
                const char* driverDescription = nullptr) {
        PutText(kMachine, path, "DeviceDesc", description);
        if (driver == nullptr) return;
        PutText(kMachine, path, "Driver", driver);
        PutText(kMachine, kClass + driver, "DriverDesc", driverDescription);
    }
};

TEST_F(Camcorders, RemovesMatchingDevicesWithTheirCamcorderDriverClasses) {
    Device(second + "0000", "1394 DV Camcorder", "Image\\0003", "Microsoft DV Camera and VCR");
    PutKey(kMachine, second + "0000\\Device Parameters\\Mode");
    Device(second + "0001", "Firebird: Sony DV Camcorder/VCR", "Image\\0004", "Imaging device");
    Device(second + "0002", "1394 DV Camcorder (other)", "Image\\0005", "1394 DV Camcorder");
    Device(second + "0003", "Microsoft DV Camera and VCR");
    Device(first + "0000", "1394 DV Camcorder");

    EXPECT_EQ(CORVANE(DeleteDeviceRegistry)(), kDone);
    EXPECT_EQ(Dump(kMachine, second), "[0002]");
    EXPECT_EQ(Dump(kMachine, first), "");
    EXPECT_EQ(Dump(kMachine, kClass + "Image"), "[0004]\n[0005]");
}

TEST_F(Camcorders, AnswerFollowsTheSecondDeviceKeyOnly) {
    Device(first + "0000", "1394 DV Camcorder");
    Device(second + "0000", "1394 Printer");
    EXPECT_EQ(CORVANE(DeleteDeviceRegistry)(), kNotDone);
    EXPECT_EQ(Dump(kMachine, first), "");
    EXPECT_EQ(Dump(kMachine, second), "[0000]");
}

TEST(Tavrin, SearchesTheDeviceKeysOfTheReportedVersion) {
    const std::string enum9x = "ENUM\\";
    const std::string enum2000 = "SYSTEM\\CurrentControlSet\\Enum\\";
    const std::string usb = "Usb\\Vid_0525&Pid_a0c0\\";
    const std::string pci = "PCI\\VEN_4444&DEV_0002&SUBSYS_FF25FFFF&REV_00\\";
    const struct {
        const char* system;
        const VersionRecord& version;
        const std::string& root;
        bool usb;
        bool pci;
        uint32_t result;
    } runs[] = {
        {"XP", kWinXp, enum9x, true, true, reglib::kTavrinPciAndUsb},
        {"XP", kWinXp, enum9x, false, true, reglib::kTavrinPci},
        {"XP", kWinXp, enum9x, true, false, reglib::kTavrinUsb},
        {"XP", kWinXp, enum2000, true, true, kNotDone},
        {"98", kWin98, enum9x, true, true, reglib::kTavrinPciAndUsb},
        {"98 SE", kWin98SE, enum9x, false, true, reglib::kTavrinPci},
        {"2000", kWin2000, enum2000, true, true, reglib::kTavrinPciAndUsb},
        {"2000", kWin2000, enum9x, true, true, kNotDone},
        {"7", kWin7, enum9x, true, true, kNotDone},
    };
    for (const auto& run : runs) {
        const ScopedKeys keys(kMachine, {run.root + usb, run.root + pci});
        // A near miss first: only the exact description counts.
        PutText(kMachine, run.root + usb + "0000", "DeviceDesc", "Varnex Tavrin USB Board 2");
        PutText(kMachine, run.root + pci + "0000", "DeviceDesc", "Tavrin WDM Video Capture");
        if (run.usb) {
            PutText(kMachine, run.root + usb + "0001", "DeviceDesc", "Varnex Tavrin USB Board");
        }
        if (run.pci) {
            PutText(kMachine, run.root + pci + "0001", "DeviceDesc", "Tavrin, WDM Video Capture");
        }
        const PretendWindows windows(run.version);
        ASSERT_TRUE(windows.Ready());
        EXPECT_EQ(CORVANE(IsTavrinExist)(), run.result)
            << run.system << " " << run.root << " usb " << run.usb << " pci " << run.pci;
    }
}

TEST(Zet, DetectedOnlyByItsExactFriendlyName) {
    const std::string instance =
        "Software\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance\\"
        "{4D6FE3E0-8603-11D5-840F-00C0CA306EAA}";
    const ScopedKeys keys(kMachine, {instance});
    const auto detected = CORVANE(IsZetDetected);
    EXPECT_EQ(detected(), kNotDone);
    PutKey(kMachine, instance);
    EXPECT_EQ(detected(), kNotDone);
    PutText(kMachine, instance, "FriendlyName", "Zet MP2 Encoder(44KHz)");
    EXPECT_EQ(detected(), kNotDone);
    PutText(kMachine, instance, "FriendlyName", "Zet MP2 Encoder(48KHz)");
    EXPECT_EQ(detected(), kDone);
}

TEST(LigosSplitter, DemotesTheMeritAndWritesBackExactlyWhatWasStored) {
    const std::string splitter =
        "Software\\Microsoft\\ActiveMovie\\devenum\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\"
        "{CB51EFC1-40D6-11D3-B265-00A0C9A3A56F}";
    const ScopedKeys keys(kUser, {splitter});
    const auto demote = CORVANE(KillLigosSplitter);
    EXPECT_EQ(demote(), kNotDone);
    PutKey(kUser, splitter);
    EXPECT_EQ(demote(), kDone);
    EXPECT_EQ(Dump(kUser, splitter), "") << "nothing read, nothing written";

    for (size_t size : {3u, 6u, 7u, 256u, 300u}) {
        Bytes stored(size);
        for (size_t i = 0; i < size; ++i) stored[i] = static_cast<uint8_t>(0x80 + i);
        PutBytes(kUser, splitter, "FilterData", stored);
        EXPECT_EQ(demote(), kDone);
        if (size > 6) stored[6] = 0x40;
        EXPECT_EQ(ReadBinary(kUser, splitter, "FilterData"), stored) << size << " bytes";
    }
}

// Keys that are only read are opened for reading, keys that are written for reading and setting
// values: full access is refused to users without administrator rights, and device keys often
// grant administrators reading only, so asking for it made present things read as absent.
TEST(KeyAccess, ExportsAskOnlyForTheRightsTheirWorkNeeds) {
    const DWORD read = KEY_READ;
    const DWORD readAndSet = KEY_READ | KEY_SET_VALUE;
    const std::string zet =
        "Software\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance\\"
        "{4D6FE3E0-8603-11D5-840F-00C0CA306EAA}";
    const std::string tavrin = "ENUM\\PCI\\VEN_4444&DEV_0002&SUBSYS_FF25FFFF&REV_00";
    const std::string controller = kClass + "hdc\\0000";
    const std::string splitter =
        "Software\\Microsoft\\ActiveMovie\\devenum\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\"
        "{CB51EFC1-40D6-11D3-B265-00A0C9A3A56F}";
    const std::string binary = "Software\\Quon\\CorvaneRegTest";
    const ScopedKeys machineKeys(kMachine, {zet, tavrin, kClass + "hdc"});
    const ScopedKeys userKeys(kUser, {splitter, binary});
    PutText(kMachine, zet, "FriendlyName", "Zet MP2 Encoder(48KHz)");
    PutText(kMachine, tavrin + "\\0000", "DeviceDesc", "Tavrin, WDM Video Capture");
    PutText(kMachine, controller, "DevLoader", "*IOS");
    PutBytes(kUser, splitter, "FilterData", Bytes(8));
    PutKey(kUser, binary);
    const uint8_t piece[] = {1, 2};
    const auto writeBinary = [&] {
        return CORVANE(WriteBinaryRegistry)(binary.c_str(), "Piece", 2, 0, piece, nullptr);
    };
    const PretendWindows xp(kWinXp);
    ASSERT_TRUE(xp.Ready());
    const struct {
        HKEY root;
        std::string path;
        DWORD rights;
        std::function<uint32_t()> call;
        uint32_t result;
    } cases[] = {
        {kMachine, zet, read, CORVANE(IsZetDetected), kDone},
        {kMachine, tavrin, read, CORVANE(IsTavrinExist), reglib::kTavrinPci},
        {kMachine, tavrin + "\\0000", read, CORVANE(IsTavrinExist), reglib::kTavrinPci},
        {kMachine, controller, readAndSet, CORVANE(EnableUltraDMA), kDone},
        {kUser, splitter, readAndSet, CORVANE(KillLigosSplitter), kDone},
        {kUser, binary, readAndSet, writeBinary, kDone},
    };
    for (const auto& c : cases) {
        const ScopedKeyRights rights(c.root, c.path, c.rights);
        ASSERT_TRUE(rights.Applied()) << c.path;
        EXPECT_EQ(c.call(), c.result) << c.path;
    }
    EXPECT_EQ(ReadBinary(kUser, binary, "Piece"), (Bytes{1, 2}));
}

// Puts each piece right before a page nobody may read: a read past a piece's end faults.
class GuardedPieces {
  public:
    GuardedPieces(const std::string& firstPiece, const std::string& secondPiece) {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        m_page = system.dwPageSize;
        m_pages = static_cast<char*>(
            VirtualAlloc(nullptr, 4 * m_page, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS));
        first = Place(0, firstPiece);
        second = Place(2, secondPiece);
    }
    GuardedPieces(const GuardedPieces&) = delete;
    GuardedPieces& operator=(const GuardedPieces&) = delete;
    ~GuardedPieces() { VirtualFree(m_pages, 0, MEM_RELEASE); }

    const char* first;
    const char* second;

  private:
    const char* Place(size_t page, const std::string& piece) const {
        DWORD old = 0;
        VirtualProtect(m_pages + page * m_page, m_page, PAGE_READWRITE, &old);
        char* start = m_pages + (page + 1) * m_page - piece.size();
        piece.copy(start, piece.size());
        return start;
    }

    size_t m_page;
    char* m_pages;
};

TEST(BinaryValue, JoinsTwoPiecesUpTo2048Bytes) {
    const std::string key = "Software\\Quon\\CorvaneRegTest";
    const ScopedKeys keys(kUser, {key});
    const auto write = CORVANE(WriteBinaryRegistry);
    const GuardedPieces pieces("abc", "defgh");
    EXPECT_EQ(write(key.c_str(), "Joined", 3, 5, pieces.first, pieces.second), kNotDone);

    PutKey(kUser, key);
    EXPECT_EQ(write(("\\" + key).c_str(), "Joined", 3, 5, pieces.first, pieces.second), kDone);
    EXPECT_EQ(ReadBinary(kUser, key, "Joined"), (Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}));
    const Bytes full(2048, 0x5A);
    EXPECT_EQ(write(key.c_str(), "Full", 2000, 48, full.data(), full.data() + 2000), kDone);
    EXPECT_EQ(ReadBinary(kUser, key, "Full"), full);

    // Refused sizes still answer "done": the key was there.
    EXPECT_EQ(write(key.c_str(), "TooLong", 2000, 100, full.data(), full.data()), kDone);
    EXPECT_EQ(write(key.c_str(), "Wrapped", 0xFFFFFFF0u, 0x20, pieces.first, pieces.second), kDone);
    EXPECT_FALSE(ReadBinary(kUser, key, "TooLong"));
    EXPECT_FALSE(ReadBinary(kUser, key, "Wrapped"));

    // Missing pieces are answered, not followed into the caller's crash.
    EXPECT_EQ(write(nullptr, "Joined", 3, 5, pieces.first, pieces.second), kNotDone);
    EXPECT_EQ(write(key.c_str(), "Null", 3, 5, nullptr, pieces.second), kNotDone);
    EXPECT_EQ(write(key.c_str(), "Null", 3, 5, pieces.first, nullptr), kNotDone);
    EXPECT_FALSE(ReadBinary(kUser, key, "Null"));
    EXPECT_EQ(write(key.c_str(), "Empty", 0, 0, nullptr, nullptr), kDone);
    EXPECT_EQ(ReadBinary(kUser, key, "Empty"), Bytes{});
}

}  // namespace
