#include <winsock2.h>

#include "Optionform.h"

#include <iphlpapi.h>
#include <shlobj.h>

#include <array>
#include <cstdio>
#include <optional>

#include "Mainform.h"
#include "Messages.h"
#include "TrayPlacement.h"
#include "WideText.h"

namespace {

const char kFace[] = "MS Sans Serif";
constexpr int kRowStep = 88;
constexpr COLORREF kSilver = RGB(0xC0, 0xC0, 0xC0);
constexpr int kMaxFolderLength = 1024;

std::string InLanguage(const char* english, const char* korean) {
    return KoreanInForce() ? korean : english;
}

// The controls' own captions are a point smaller than the form's font; the address list keeps
// the form's English size in both languages.
FontSpec CaptionFont() {
    return {kFace, 9, false};
}

FontSpec FormFont() {
    return {kFace, KoreanInForce() ? 9 : 10, false};
}

FontSpec ListFont() {
    return {kFace, 10, false};
}

int RowTop(int n, int firstTop) {
    return firstTop + kRowStep * (n - 1);
}

FormDesign SettingDesign() {
    FormDesign design;
    design.className = "QDV_Setting";
    design.caption = InLanguage("Configuration", "환경설정");
    design.outerWidth = 399;
    design.outerHeight = 524;
    design.borderWidth = 5;
    design.border = FormBorder::kSingle;
    design.color = kSkyBlue;
    design.alpha = 250;
    design.screenCentre = true;
    design.activateOnShow = true;
    design.dialogKeys = true;
    return design;
}

Bounds FolderBox(int n) {
    return {8, RowTop(n, 84), 361, 72};
}

// The Korean captions number the folders and get a fixed width; the English ones fit their text.
LabelDesign FolderLabel(int n) {
    if (!KoreanInForce()) return {16, RowTop(n, 96), 0, 0, false, CaptionFont(), "Folder to Share"};
    return {16, RowTop(n, 96), 150, 17, false, CaptionFont(), "공유폴더 " + std::to_string(n)};
}

ButtonDesign BrowseButton(int n) {
    return {{280, RowTop(n, 94), 75, 25}, InLanguage("Browse", "폴더찾기"), CaptionFont()};
}

EditDesign FolderEditDesign(int n) {
    const FontSpec font = FormFont();
    return {{16, RowTop(n, 122), 321, Font::DesignHeight(font.points) + 10},
            font,
            kSilver,
            kMaxFolderLength};
}

void PrintSystemError(ULONG error) {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
                   nullptr);
    std::printf("\tError: %s", text != nullptr ? text : "");
    LocalFree(text);
}

// The IPv4 adapters in the system's order. The first buffer is small and grows once to the
// size the system asks for; a failure other than "no adapters" is told on the console.
std::vector<NetworkAdapter> Adapters() {
    ULONG size = 72;
    std::vector<BYTE> buffer(size);
    auto* first = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    ULONG error = GetAdaptersAddresses(AF_INET, 0, nullptr, first, &size);
    if (error == ERROR_BUFFER_OVERFLOW) {
        buffer.assign(size, 0);
        first = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        error = GetAdaptersAddresses(AF_INET, 0, nullptr, first, &size);
    }
    std::vector<NetworkAdapter> adapters;
    if (error != NO_ERROR) {
        if (error != ERROR_NO_DATA) PrintSystemError(error);
        return adapters;
    }
    for (const IP_ADAPTER_ADDRESSES* adapter = first; adapter != nullptr; adapter = adapter->Next) {
        adapters.push_back({adapter->OperStatus == IfOperStatusUp, Narrow(adapter->FriendlyName)});
    }
    return adapters;
}

// The shell's objects need COM on the thread while the browser is open.
class ComUse {
  public:
    ComUse() : m_bStarted(SUCCEEDED(CoInitialize(nullptr))) {}
    ComUse(const ComUse&) = delete;
    ComUse& operator=(const ComUse&) = delete;
    ~ComUse() {
        if (m_bStarted) CoUninitialize();
    }

  private:
    bool m_bStarted;
};

// The system's folder browser from the desktop down, file-system folders only. Nothing when the
// user cancels; an empty text when the choice has no path.
std::optional<std::string> ChooseFolder(HWND owner, const std::string& title) {
    const ComUse com;
    std::array<wchar_t, 1024> displayName{};
    const std::wstring wideTitle = Widen(title);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.pszDisplayName = displayName.data();
    browse.lpszTitle = wideTitle.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = SHBrowseForFolderW(&browse);
    if (chosen == nullptr) return std::nullopt;
    std::array<wchar_t, MAX_PATH> path{};
    const bool hasPath = SHGetPathFromIDListW(chosen, path.data()) != FALSE;
    CoTaskMemFree(chosen);
    return hasPath ? Narrow(path.data()) : std::string();
}

}  // namespace

bool IsDriveRoot(const std::string& folder) {
    const auto letter = static_cast<unsigned char>(folder.empty() ? 0 : folder[0]);
    return folder.size() == 3 &&
           ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) &&
           folder[1] == ':' && folder[2] == '\\';
}

FolderProblem CheckFolder(const std::string& folder) {
    if (folder.empty()) return FolderProblem::kEmpty;
    if (Widen(folder).size() == 1 || IsDriveRoot(folder)) return FolderProblem::kDriveRoot;
    return FolderProblem::kNone;
}

QDV_Setting::QDV_Setting(Application& application, TForm1& form1, ShareSettings& settings)
    : Form(application, SettingDesign()),
      TopBox(*this, {8, 2, 361, 78}),
      FolderBox1(*this, FolderBox(1)),
      FolderBox2(*this, FolderBox(2)),
      FolderBox3(*this, FolderBox(3)),
      FolderBox4(*this, FolderBox(4)),
      CheckBox_AutoSharing(*this,
                           {{16, 16, 300, 17},
                            InLanguage("Auto Sharing at Program Run", "자동 공유 시작"),
                            CaptionFont()},
                           [this] { CheckBox_AutoSharingClick(); }),
      Check_AutoRunAtSystemStart(*this,
                                 {{16, 48, 170, 17},
                                  InLanguage("Dorvel  Auto Run ", "자동 실행 (윈도우즈 시작)"),
                                  CaptionFont()},
                                 [this] { Check_AutoRunAtSystemStartClick(); }),
      IPComboBox(*this, {{207, 48, 157, 24}, 10, ListFont()}, [this] { IPComboBoxSelect(); }),
      Label6(*this, {190, 53, 0, 0, false, CaptionFont(), "IP :"}),
      Label1(*this, FolderLabel(1)),
      Label3(*this, FolderLabel(2)),
      Label4(*this, FolderLabel(3)),
      Label5(*this, FolderLabel(4)),
      BitBtn1(*this, BrowseButton(1), [this] { BitBtn1Click(); }),
      BitBtn3(*this, BrowseButton(2), [this] { BitBtn3Click(); }),
      BitBtn4(*this, BrowseButton(3), [this] { BitBtn4Click(); }),
      BitBtn5(*this, BrowseButton(4), [this] { BitBtn5Click(); }),
      Edit1(*this, FolderEditDesign(1)),
      Edit2(*this, FolderEditDesign(2)),
      Edit3(*this, FolderEditDesign(3)),
      Edit4(*this, FolderEditDesign(4)),
      Button1(*this,
              {{72, 452, 75, 25}, InLanguage("Ok", "확인"), CaptionFont(), ButtonRole::kDefault},
              [this] { Button1Click(); }),
      BitBtn2(
          *this,
          {{216, 452, 75, 25}, InLanguage("Cancel", "취소"), CaptionFont(), ButtonRole::kCancel},
          [this] { BitBtn2Click(); }),
      m_form1(form1),
      m_settings(settings) {
    ReadFoldersInForce();
    TickFromSettings();
    for (int n = 1; n <= 4; ++n) FolderEdit(n).SetText(m_settings.sharePath[n - 1]);
    // From the first showing on, the folders in force are stored, defaults included.
    for (int n = 1; n <= 4; ++n) m_settings.WriteSharePath(n, m_settings.sharePath[n - 1]);
    m_settings.bindAll = true;
    FormCreate();
}

void QDV_Setting::FormCreate() {
    PlaceNearTray();
}

// The text boxes keep what they show: a folder stored by Browse and then cancelled comes into
// force here but is shown only when browsed again.
void QDV_Setting::FormShow() {
    ReadFoldersInForce();
    TickFromSettings();
    m_addressList.Clear();
    IPComboBox.Clear();
    BuildAddressList();
    if (IPComboBox.ItemIndex() < 0) IPComboBox.SetItemIndex(m_settings.savedAddressNumber);
    PlaceNearTray();
}

void QDV_Setting::ReadFoldersInForce() {
    for (int n = 1; n <= 4; ++n) {
        const std::string stored = m_settings.ReadSharePath(n);
        if (stored.empty()) continue;
        m_settings.sharePath[n - 1] = stored;
        m_settings.previousPath[n - 1] = stored;
    }
}

// As a click would, a change of either box runs its handler.
void QDV_Setting::TickFromSettings() {
    CheckBox_AutoSharing.SetChecked(m_settings.autoShare);
    Check_AutoRunAtSystemStart.SetChecked(m_settings.runValue.find("QuonDorvel.exe") !=
                                          std::string::npos);
}

void QDV_Setting::CheckBox_AutoSharingClick() {
    m_settings.autoShare = CheckBox_AutoSharing.Checked();
    m_settings.selectedAddress = IPComboBox.Item(IPComboBox.ItemIndex());
}

// Takes effect at once, whatever becomes of the dialog.
void QDV_Setting::Check_AutoRunAtSystemStartClick() {
    if (Check_AutoRunAtSystemStart.Checked()) {
        m_settings.SetAutoRun();
    } else {
        ShareSettings::ClearAutoRun();
    }
}

// Only the "All" entry begins with an A.
void QDV_Setting::IPComboBoxSelect() {
    m_settings.selectedAddress = IPComboBox.Item(IPComboBox.ItemIndex());
    m_settings.bindAll =
        !m_settings.selectedAddress.empty() && m_settings.selectedAddress[0] == 'A';
}

// The choice is stored at once, before OK; Cancel puts back only what is shown and in force.
void QDV_Setting::BrowseForFolder(int n) {
    std::string& inForce = m_settings.sharePath[n - 1];
    const std::string candidate =
        ChooseFolder(Handle(), MessageTable(MsgSelectShareFolder)).value_or(inForce);
    if (!candidate.empty() && candidate != inForce) {
        if (IsDriveRoot(candidate)) {
            ShowInfo(MessageTable(MsgDriveRoot));
        } else {
            m_settings.previousPath[n - 1] = inForce;
            FolderEdit(n).SetText(candidate);
            inForce = FolderEdit(n).Text();
        }
        m_settings.WriteSharePath(n, FolderEdit(n).Text());
    }
    m_settings.autoShare = CheckBox_AutoSharing.Checked();
}

// With sharing on, every OK restarts the server so the choices take effect.
void QDV_Setting::Button1Click() {
    for (int n = 1; n <= 4; ++n) {
        const FolderProblem problem = CheckFolder(FolderEdit(n).Text());
        if (problem != FolderProblem::kNone) {
            ShowInfo(MessageTable(problem == FolderProblem::kEmpty ? MsgPleaseSelectFolder
                                                                   : MsgDriveRoot));
            return;
        }
    }
    if (IPComboBox.ItemIndex() < 0) {
        ShowInfo(MessageTable(MsgNoNicAdapter));
        return;
    }
    Check_AutoRunAtSystemStartClick();
    m_settings.autoShare = CheckBox_AutoSharing.Checked();
    m_settings.addressNumber = m_settings.savedAddressNumber = IPComboBox.ItemIndex();
    const int state = m_form1.ShareState();
    if (state == kShareSharing || state == kShareConnected) {
        m_form1.N2Click();
        Sleep(1);
        m_form1.N1Click();
    } else if (CheckBox_AutoSharing.Checked()) {
        m_form1.N1Click();
    }
    for (int n = 1; n <= 4; ++n) m_settings.WriteSharePath(n, m_settings.sharePath[n - 1]);
    Close();
}

void QDV_Setting::BitBtn2Click() {
    for (int n = 1; n <= 4; ++n) {
        const std::string& previous = m_settings.previousPath[n - 1];
        if (previous.empty()) continue;
        FolderEdit(n).SetText(previous);
        m_settings.sharePath[n - 1] = FolderEdit(n).Text();
    }
    IPComboBox.SetItemIndex(m_settings.savedAddressNumber);
    Close();
}

void QDV_Setting::BuildAddressList() {
    std::vector<std::string> hostAddresses;
    for (uint32_t address : LocalAddresses()) hostAddresses.push_back(net::AddressText(address));
    if (hostAddresses.empty()) return;
    m_addressList.AddAdapters(Adapters(), hostAddresses);
    FillAddressCombo();
}

void QDV_Setting::FillAddressCombo() {
    IPComboBox.Clear();
    for (const std::string& entry : m_addressList.Entries()) IPComboBox.Add(entry);
}

void QDV_Setting::PlaceNearTray() {
    const std::optional<POINT> place =
        NextToTray(TaskbarRect(), ScreenSize(), {Width(), Height()}, 50);
    if (place) MoveTo(place->x, place->y);
}

Edit& QDV_Setting::FolderEdit(int n) {
    Edit* const edits[] = {&Edit1, &Edit2, &Edit3, &Edit4};
    return *edits[n - 1];
}
