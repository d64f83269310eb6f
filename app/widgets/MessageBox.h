#pragma once

#include <string>

enum class BoxIcon { kInformation, kError };

// The toolkit's modal message box: the text, the caption, an icon and one button, which reads
// "OK" in every language, as the rest of the toolkit's own texts do. It stays above the
// always-on-top windows so it is never hidden behind the status window, and is modal to the
// window the user works in, or else to all the thread's windows.
void ShowMessageBox(const std::string& text, const std::string& caption, BoxIcon icon);
