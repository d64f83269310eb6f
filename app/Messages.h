#pragma once

#include <cstdint>
#include <string>

#include "StatusTexts.h"

// Korean as spoken in Korea; every other language, other Korean sublanguages included, is
// served in English.
constexpr uint32_t kKoreanLanguage = 0x0412;

bool IsKoreanLanguage(uint32_t languageId);

// The system's default language, read once at start-up (GetSystemDefaultLangID).
void ReadLanguageChoice();
bool KoreanInForce();

// Fills the process-wide table with the column of the language in force; before the
// single-instance test, so a second instance already speaks the user's language.
void LoadMessages();
const std::string& MessageTable(MessageKey key);

// The one box the user has to acknowledge: information icon, caption "Information", one button.
void ShowInfo(const std::string& text);
