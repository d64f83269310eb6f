// The tray program's registry values as the tests set and read them, with the plain API.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Win32.h"

namespace apptest {

extern const wchar_t kDorvelKey[];
extern const wchar_t kOptionsKey[];
extern const wchar_t kRunKey[];

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    std::wstring Text() const;
    DWORD Number() const;
};

std::optional<StoredValue> ReadValue(const wchar_t* key, const wchar_t* name,
                                     HKEY root = HKEY_CURRENT_USER);
void PutText(const wchar_t* key, const wchar_t* name, const std::wstring& text);
void PutNumber(const wchar_t* key, const wchar_t* name, DWORD number);

// The account as it was before the program ever ran: no "Software\Quon\Dorvel" key and no
// auto-run value. Made so when built and when dropped.
class FreshAccount {
  public:
    FreshAccount() { Clear(); }
    FreshAccount(const FreshAccount&) = delete;
    FreshAccount& operator=(const FreshAccount&) = delete;
    ~FreshAccount() { Clear(); }

  private:
    static void Clear();
};

}  // namespace apptest
