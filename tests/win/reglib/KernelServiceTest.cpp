#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ProbeProcess.h"
#include "TestRegistry.h"

namespace {

using regtest::Dump;
using regtest::PutKey;
using regtest::PutText;
using regtest::RunProbe;
using Lines = std::vector<std::string>;

const HKEY kMachine = HKEY_LOCAL_MACHINE;
const std::string kOld = "System\\CurrentControlSet\\Services\\Saa7146";
const std::string kService = "System\\CurrentControlSet\\Services\\TovaKrnl";

class KernelService : public ::testing::Test {
  protected:
    const regtest::ScopedKeys keys{kMachine, {kOld, kService}};
};

std::string VersionLine(DWORD version) {
    char line[64];
    std::snprintf(line, sizeof line, "Current System Version = 0x%08lX", version);
    return line;
}

TEST_F(KernelService, RecreatesTovaKrnlAfterRemovingBothOldServices) {
    PutText(kMachine, kOld, "ImagePath", "saa7146.sys");
    PutText(kMachine, kOld + "\\Enum", "0", "PCI\\VEN_1131");
    PutKey(kMachine, kOld + "\\Parameters\\Deep\\Deeper");
    PutText(kMachine, kService, "Stale", "from an old driver");
    PutKey(kMachine, kService + "\\Security");

    const auto probe = RunProbe("AddNtKernelServiceKey");
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->result, 1u);
    EXPECT_EQ(probe->lines, (Lines{VersionLine(GetVersion()), "Windows NT Detected",
                                   "Successfully Removed Saa7146 Service Key",
                                   "Successfully Removed TovaKrnl Service Key",
                                   "Successfully created TOVA Service Key"}));
    EXPECT_EQ(Dump(kMachine, kOld), "missing");
    EXPECT_EQ(Dump(kMachine, kService),
              "ErrorControl=1\nGroup=\"Extended Base\"\nStart=2\nType=1\n[Parameters]");
    EXPECT_EQ(Dump(kMachine, kService + "\\Parameters"),
              "Description=\"Tavrin, WDM Video Capture\"\nTraceBreakLevel=5\nTraceDevice=3\n"
              "TraceOutputLevel=0");
}

TEST_F(KernelService, DeletesOnlyTheFirstEightSubkeysOfALevel) {
    for (char name = '1'; name <= '9'; ++name) PutKey(kMachine, kOld + "\\k" + name + "\\sub");
    const auto probe = RunProbe("AddNtKernelServiceKey");
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->result, 1u);
    EXPECT_EQ(probe->lines.at(2), "Successfully Removed Saa7146 Service Key");
    EXPECT_EQ(Dump(kMachine, kOld), "[k9]");
    EXPECT_EQ(Dump(kMachine, kOld + "\\k9"), "[sub]");
}

TEST_F(KernelService, LeavesTheRegistryAloneOutsideWindowsNt) {
    PutKey(kMachine, kOld + "\\Enum");
    const auto probe = RunProbe("AddNtKernelServiceKey", "win98");
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->result, 1u);
    // 0xC0000A04: Windows 98 as Wine reports it, top bit set as on every 9x system.
    EXPECT_EQ(probe->lines, (Lines{VersionLine(0xC0000A04), "This is not Windows NT"}));
    EXPECT_EQ(Dump(kMachine, kOld), "[Enum]");
    EXPECT_EQ(Dump(kMachine, kService), "missing");
}

}  // namespace
