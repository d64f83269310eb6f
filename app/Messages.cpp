#include "Messages.h"

#include <array>

#include "MessageBox.h"
#include "Win32.h"

namespace {

struct MessageRow {
    const char* english;
    const char* korean;
};

constexpr MessageRow kMessageRows[] = {
#define QDV_MESSAGE_ROW(key, english, korean) {english, korean},
    QDV_MESSAGE_TABLE(QDV_MESSAGE_ROW)
#undef QDV_MESSAGE_ROW
};
static_assert(std::size(kMessageRows) == kMessageCount);

uint32_t g_languageChoice = 0;
std::array<std::string, kMessageCount> g_messageTable;

}  // namespace

void ReadLanguageChoice() {
    g_languageChoice = GetSystemDefaultLangID();
}

bool IsKoreanLanguage(uint32_t languageId) {
    return languageId == kKoreanLanguage;
}

bool KoreanInForce() {
    return IsKoreanLanguage(g_languageChoice);
}

const char* MessageText(MessageKey key, bool korean) {
    const MessageRow& row = kMessageRows[key];
    return korean ? row.korean : row.english;
}

void LoadMessages() {
    for (int key = 0; key < kMessageCount; ++key) {
        g_messageTable[key] = MessageText(static_cast<MessageKey>(key), KoreanInForce());
    }
}

const std::string& MessageTable(MessageKey key) {
    return g_messageTable[key];
}

void ShowInfo(const std::string& text) {
    ShowMessageBox(text, "Information", BoxIcon::kInformation);
}
