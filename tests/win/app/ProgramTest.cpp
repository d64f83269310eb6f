#include <gtest/gtest.h>

#include "GuiSupport.h"
#include "Messages.h"
#include "TestRegistry.h"
// After the Windows headers it builds on.
#include <sddl.h>

namespace {

using apptest::Box;
using apptest::ChildAt;
using apptest::Children;
using apptest::ChildWindow;
using apptest::KoreanRun;
using apptest::Program;
using apptest::ReadBox;
using apptest::RunName;
using apptest::Screenshot;
using apptest::WaitForWindow;
using apptest::WindowsOf;
using apptest::WindowText;

constexpr DWORD kAppearMs = 15000;
constexpr DWORD kExitMs = 10000;

const wchar_t* AlreadyRunning() {
    return KoreanRun() ? L"\uD504\uB85C\uADF8\uB7A8\uC774 \uC774\uBBF8 "
                         L"\uC2E4\uD589\uC911\uC785\uB2C8\uB2E4!"
                       : L"Program Already in Running !!! ";
}

bool InstanceGuardHeld() {
    HANDLE guard = OpenMutexA(SYNCHRONIZE, FALSE, "QuonDorvel");
    if (guard != nullptr) CloseHandle(guard);
    return guard != nullptr;
}

// As the registry helper library closes the program.
void CloseMainWindow() {
    HWND form1 = FindWindowA("TForm1", "DorvelMainForm");
    ASSERT_NE(form1, nullptr);
    SendMessageA(form1, WM_CLOSE, 0, 0);
}

void CloseBox(HWND box) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

// The status window as another program sees it, by the designed places of its controls.
void ExpectStartUpNotice(HWND status) {
    EXPECT_EQ(WindowText(status), L" Quon Dorvel 2.1.0.1");
    const LONG exStyle = GetWindowLongW(status, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(GetWindowLongW(status, GWL_STYLE) & WS_SYSMENU);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(status, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 230);
    RECT client{};
    GetClientRect(status, &client);
    EXPECT_EQ(client.right, 492);
    EXPECT_EQ(client.bottom, 240);
    RECT outer{};
    GetWindowRect(status, &outer);
    EXPECT_NEAR((outer.left + outer.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((outer.top + outer.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    const std::vector<ChildWindow> children = Children(status);
    const struct {
        int left;
        int top;
        const wchar_t* text;  // null: any text but an empty one
    } kLabels[] = {{20, 8, L" "},  {20, 184, L"Dorvel for Quon Network"},
                   {20, 56, L""},  {20, 208, nullptr},
                   {20, 80, L""},  {20, 104, L""},
                   {20, 128, L""}, {20, 152, L""}};
    for (const auto& expected : kLabels) {
        SCOPED_TRACE(testing::Message() << expected.left << "," << expected.top);
        const ChildWindow* label = ChildAt(children, expected.left, expected.top);
        ASSERT_NE(label, nullptr);
        EXPECT_TRUE(label->Visible());
        EXPECT_EQ(label->text.empty(), expected.text != nullptr && *expected.text == L'\0');
        if (expected.text != nullptr) {
            EXPECT_EQ(label->text, expected.text);
        }
    }
    const ChildWindow* label1 = ChildAt(children, 20, 8);
    EXPECT_EQ(label1->bounds.right - label1->bounds.left, 400);
    EXPECT_EQ(label1->bounds.bottom - label1->bounds.top, 40);
    // Image1 (disconnected) shown, Image2 (connected) hidden, in the same place.
    const ChildWindow* image1 = ChildAt(children, 447, 188);
    const ChildWindow* image2 = ChildAt(children, 447, 188, 1);
    ASSERT_TRUE(image1 != nullptr && image2 != nullptr);
    EXPECT_TRUE(image1->Visible());
    EXPECT_FALSE(image2->Visible());
    EXPECT_EQ(image1->bounds.right - image1->bounds.left, 33);
}

// The Korean run starts Wine with LC_ALL=ko_KR.UTF-8, which makes the system language 0x0412.
TEST(Program, ChoosesKoreanExactlyOnAKoreanSystem) {
    EXPECT_EQ(GetSystemDefaultLangID() == 0x0412, KoreanRun());
    EXPECT_EQ(KoreanInForce(), KoreanRun());
    EXPECT_EQ(MessageTable(MsgConnected), MessageText(MsgConnected, KoreanRun()));
}

TEST(Program, StartsWithTheNoticeThatHidesForGoodAfterThreeSeconds) {
    const apptest::FreshAccount account;
    const Program program;
    HWND status = WaitForWindow(program.Id(), L"TForm_Status", true, kAppearMs);
    ASSERT_NE(status, nullptr);
    Screenshot(std::string("status-") + RunName());
    ExpectStartUpNotice(status);

    EXPECT_TRUE(apptest::PumpUntil([&] { return !IsWindowVisible(status); }, 3000 + 3000));
    const ChildWindow* notice = ChildAt(Children(status), 20, 208);
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(notice->Visible());

    const std::vector<HWND> forms = WindowsOf(program.Id(), L"TForm1");
    ASSERT_EQ(forms.size(), 1u);
    HWND form1 = forms.front();
    EXPECT_EQ(WindowText(form1), L"DorvelMainForm");
    EXPECT_FALSE(IsWindowVisible(form1));
    // The first start of an account stores "AutoShare" off and no folder.
    const auto autoShare = apptest::ReadValue(apptest::kOptionsKey, L"AutoShare");
    ASSERT_TRUE(autoShare.has_value());
    EXPECT_EQ(autoShare->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(autoShare->Number(), 0u);
    EXPECT_FALSE(apptest::ReadValue(apptest::kDorvelKey, L"SharePath1"));

    CloseMainWindow();
    EXPECT_EQ(program.WaitForExit(kExitMs), 0u);
    EXPECT_FALSE(InstanceGuardHeld());
}

TEST(Program, SecondInstanceShowsItsBoxAndEndsWhileTheFirstRunsOn) {
    const apptest::FreshAccount account;
    const Program first;
    ASSERT_NE(WaitForWindow(first.Id(), L"TForm1", false, kAppearMs), nullptr);
    EXPECT_TRUE(InstanceGuardHeld());

    const Program second;
    HWND box = WaitForWindow(second.Id(), L"#32770", true, kAppearMs);
    ASSERT_NE(box, nullptr);
    Screenshot(std::string("already-running-") + RunName());
    const Box content = ReadBox(box);
    EXPECT_EQ(content.caption, L"Information");
    EXPECT_EQ(content.text, AlreadyRunning());
    EXPECT_EQ(content.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_TRUE(content.icon);
    EXPECT_TRUE(WindowsOf(second.Id(), L"TForm1").empty());
    EXPECT_TRUE(WindowsOf(second.Id(), L"TForm_Status").empty());
    CloseBox(box);
    EXPECT_EQ(second.WaitForExit(kExitMs), 0u);
    EXPECT_TRUE(first.Running());

    CloseMainWindow();
    EXPECT_EQ(first.WaitForExit(kExitMs), 0u);
    EXPECT_FALSE(InstanceGuardHeld());

    const Program third;
    EXPECT_NE(WaitForWindow(third.Id(), L"TForm1", false, kAppearMs), nullptr);
    EXPECT_TRUE(WindowsOf(third.Id(), L"#32770").empty());
    CloseMainWindow();
    EXPECT_EQ(third.WaitForExit(kExitMs), 0u);
}

// Another copy's mutex counts however it is kept from us: in this session with a security that
// shuts us out (a copy started elevated), or in the global namespace only (another session).
TEST(Program, AMutexKeptFromUsCountsAsAnotherCopy) {
    SECURITY_ATTRIBUTES shutOut{sizeof shutOut, nullptr, FALSE};  // an empty access list
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1,
                                                         &shutOut.lpSecurityDescriptor, nullptr);
    const std::pair<const char*, SECURITY_ATTRIBUTES*> kMutexes[] = {
        {"QuonDorvel", &shutOut}, {"Global\\QuonDorvel", nullptr}};
    for (const auto& [name, security] : kMutexes) {
        HANDLE held = CreateMutexA(security, TRUE, name);
        ASSERT_NE(held, nullptr) << name;
        const Program program;
        HWND box = WaitForWindow(program.Id(), L"#32770", true, kAppearMs);
        ASSERT_NE(box, nullptr) << name;
        EXPECT_EQ(ReadBox(box).text, AlreadyRunning());
        EXPECT_TRUE(WindowsOf(program.Id(), L"TForm1").empty());
        CloseBox(box);
        EXPECT_EQ(program.WaitForExit(kExitMs), 0u);
        CloseHandle(held);
    }
    LocalFree(shutOut.lpSecurityDescriptor);
}

TEST(Program, RegistryErrorAtStartIsShownAndTheProgramEndsCleanly) {
    const apptest::FreshAccount account;
    apptest::PutText(apptest::kOptionsKey, L"AutoShare", L"yes");
    const Program program;
    HWND box = WaitForWindow(program.Id(), L"#32770", true, kAppearMs);
    ASSERT_NE(box, nullptr);
    const Box content = ReadBox(box);
    EXPECT_EQ(content.caption, L"QuonDorvel");
    EXPECT_EQ(content.text, L"Invalid data type for 'AutoShare'.");
    EXPECT_TRUE(WindowsOf(program.Id(), L"TForm_Status").empty());
    CloseBox(box);
    EXPECT_EQ(program.WaitForExit(kExitMs), 0u);
    EXPECT_FALSE(InstanceGuardHeld());
}

}  // namespace
