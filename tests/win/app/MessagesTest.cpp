#include <gtest/gtest.h>

#include "Messages.h"
#include "WideText.h"
#include "Win32.h"

namespace {

// The texts as characters, written apart from the program's UTF-8 source: what reaches the
// window system must be exactly these.
struct ExpectedText {
    MessageKey key;
    const wchar_t* english;
    const wchar_t* korean;
};

const ExpectedText kExpected[] = {
    {MsgSharingStarted, L"Quon sharing started. ",
     L"Quon \uACF5\uC720\uAC00 \uC2DC\uC791\uB429\uB2C8\uB2E4."},
    {MsgSharingClosed, L"Quon sharing closed . ",
     L"Quon \uACF5\uC720\uAC00 \uC885\uB8CC\uB429\uB2C8\uB2E4."},
    {MsgConnected, L"Connected with Quon Dorvel ",
     L"Quon Dorvel \uACFC \uC5F0\uACB0\uB418\uC5C8\uC2B5\uB2C8\uB2E4."},
    {MsgDisconnected, L"Disconnected with Quon Dorvel ",
     L"Quon Dorvel \uC5F0\uACB0\uC774 \uB04A\uC5B4\uC84C\uC2B5\uB2C8\uB2E4."},
    {MsgSelectShareFolder, L"Select Share Folder !",
     L"\uACF5\uC720\uD3F4\uB354\uB97C \uC9C0\uC815\uD558\uC138\uC694!"},
    {MsgSetShareRoot, L"Please Set Share Root Folder !!!",
     L"\uD3F4\uB354\uC9C0\uC815\uC774 \uC62C\uBC14\uB974\uC9C0 \uC54A\uC2B5\uB2C8\uB2E4."},
    {MsgCheckNetwork, L"Check Network is disconnected !!",
     L"\uB124\uD2B8\uC6CD\uCE74\uB4DC \uBC0F \uCF00\uC774\uBE14 \uC810\uAC80\uC774 "
     L"\uD544\uC694\uD569\uB2C8\uB2E4!!! "},
    {MsgNetworkConflict, L"Conflict with other Network program !!!",
     L"\uB2E4\uB978 \uB124\uD2B8\uC6CD \uD504\uB85C\uADF8\uB7A8\uACFC \uC790\uC6D0\uC774 "
     L"\uCDA9\uB3CC\uD569\uB2C8\uB2E4!!!"},
    {MsgWinsockLimit, L"Exceeded the limit of winsock resource !!!",
     L"\uC0AC\uC6A9\uD560 \uC218 \uC788\uB294 Winsock\uB9AC\uC18C\uC2A4\uAC00 "
     L"\uC5C6\uC2B5\uB2C8\uB2E4!!!"},
    {MsgBlockedPort, L"Blocked by Firewall \n or other program already use port !",
     L"\uBC29\uD654\uBCBD\uC73C\uB85C \uB9C9\uD600\uC788\uAC70\uB098 \uD3EC\uD2B8\uB97C \n "
     L"\uB2E4\uB978 \uD504\uB85C\uADF8\uB7A8\uC774 \uC0AC\uC6A9\uC911\uC77C \uC218 "
     L"\uC788\uC2B5\uB2C8\uB2E4.!"},
    {MsgPleaseSelectFolder, L"Please Select Share Folder ",
     L"\uD3F4\uB354\uC9C0\uC815\uC774 \uC62C\uBC14\uB974\uC9C0 \uC54A\uC2B5\uB2C8\uB2E4."},
    {MsgConnectionLost, L" Current Quon connection will be lost !",
     L"\uD604\uC7AC\uC758 Quon \uC5F0\uACB0\uC740 \uD574\uC81C\uB429\uB2C8\uB2E4 !"},
    {MsgConnectedSuffix, L": connected with Quon", L": Quon\uC640 \uC5F0\uACB0\uB428 "},
    {MsgAlreadyRunning, L"Program Already in Running !!! ",
     L"\uD504\uB85C\uADF8\uB7A8\uC774 \uC774\uBBF8 \uC2E4\uD589\uC911\uC785\uB2C8\uB2E4!"},
    {MsgDriveRoot, L"Cannot support drive's root !!!",
     L"\uB4DC\uB77C\uC774\uBE0C\uC758 \uCD5C\uC0C1\uC704 \uB8E8\uD2B8\uD3F4\uB354\uB294 "
     L"\uC9C0\uC6D0\uD558\uC9C0 \uC54A\uC2B5\uB2C8\uB2E4."},
    {MsgNoNicAdapter, L"No NIC Adapter is connected!!!. Please connect a NIC adapter.",
     L"NIC Adapter\uAC00 \uC5F0\uACB0\uB418\uC9C0 \uC54A\uC558\uC2B5\uB2C8\uB2E4!!!. "
     L"NIC Adapter\uB97C \uC5F0\uACB0\uD558\uAE30 \uBC14\uB78D\uB2C8\uB2E4."},
};
static_assert(std::size(kExpected) == kMessageCount);

// A Korean system shows the texts in code page 949, so every one must have a form there.
bool SurvivesCodePage949(const std::wstring& text) {
    BOOL lossy = FALSE;
    const int length = static_cast<int>(text.size());
    std::string bytes(length * 2, '\0');
    bytes.resize(WideCharToMultiByte(949, WC_NO_BEST_FIT_CHARS, text.data(), length, bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, &lossy));
    std::wstring back(length, L'\0');
    back.resize(MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, bytes.data(),
                                    static_cast<int>(bytes.size()), back.data(), length));
    return !lossy && back == text;
}

TEST(MessageTable, BothColumnsReachTheWindowSystemExactly) {
    for (const ExpectedText& expected : kExpected) {
        SCOPED_TRACE(expected.key);
        EXPECT_EQ(Widen(MessageText(expected.key, false)), expected.english);
        EXPECT_EQ(Widen(MessageText(expected.key, true)), expected.korean);
        EXPECT_TRUE(SurvivesCodePage949(expected.korean));
    }
}

TEST(MessageTable, KoreanOnlyForKoreanAsSpokenInKorea) {
    const struct {
        uint32_t languageId;
        bool korean;
    } kCases[] = {{0x0412, true},  {0x0812, false}, {0x0012, false},
                  {0x0409, false}, {0x0000, false}, {0x10412, false}};
    for (const auto& language : kCases) {
        EXPECT_EQ(IsKoreanLanguage(language.languageId), language.korean) << language.languageId;
    }
}

}  // namespace
