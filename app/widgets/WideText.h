// Our texts are UTF-8 (the message table is written so in the source); the window system gets
// them as wide text, so no text depends on the code page the user happens to run.
#pragma once

#include <string>

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
// The server core takes and gives texts in the system's ANSI code page.
std::string AnsiToUtf8(const char* ansi);
std::string Utf8ToAnsi(const std::string& utf8);
