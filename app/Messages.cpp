#include "Messages.h"

#include <array>

#include "MessageBox.h"
#include "Win32.h"

namespace {

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
