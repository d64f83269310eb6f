#pragma once

#include <array>
#include <string>

#include "AddressList.h"
#include "Bevel.h"
#include "Button.h"
#include "ComboBox.h"
#include "Edit.h"
#include "Form.h"
#include "Label.h"
#include "Settings.h"

class TForm1;

// The Configuration dialog: the four share folders, the address to serve on, auto-sharing and
// auto-run. Created on the first "Settings", kept to the program's end, hidden when it closes.
// OK stores the choices and, while sharing, restarts the server so they take effect.
class QDV_Setting : public Form {
  public:
    QDV_Setting(Application& application, TForm1& form1, ShareSettings& settings);

    void CheckBox_AutoSharingClick();
    void Check_AutoRunAtSystemStartClick();
    void IPComboBoxSelect();
    void BitBtn1Click() { BrowseForFolder(1); }
    void BitBtn3Click() { BrowseForFolder(2); }
    void BitBtn4Click() { BrowseForFolder(3); }
    void BitBtn5Click() { BrowseForFolder(4); }
    void Button1Click();  // OK
    void BitBtn2Click();  // Cancel

    void BuildAddressList();
    void FillAddressCombo();
    void PlaceNearTray();

    Bevel TopBox;
    Bevel FolderBox1;
    Bevel FolderBox2;
    Bevel FolderBox3;
    Bevel FolderBox4;
    CheckBox CheckBox_AutoSharing;
    CheckBox Check_AutoRunAtSystemStart;
    ComboBox IPComboBox;
    Label Label6;  // after the list, so its text is drawn over the list's edge where they meet
    Label Label1;
    Label Label3;
    Label Label4;
    Label Label5;
    Button BitBtn1;
    Button BitBtn3;
    Button BitBtn4;
    Button BitBtn5;
    Edit Edit1;
    Edit Edit2;
    Edit Edit3;
    Edit Edit4;
    Button Button1;
    Button BitBtn2;

  private:
    void FormCreate();
    void FormShow() override;
    void ReadFoldersInForce();
    void TickFromSettings();
    void BrowseForFolder(int n);
    Edit& FolderEdit(int n);

    TForm1& m_form1;
    ShareSettings& m_settings;
    AddressList m_addressList;
};

// Why OK cannot take a folder's text: an empty one, or one that is a single character or a
// drive's root folder.
enum class FolderProblem { kNone, kEmpty, kDriveRoot };
FolderProblem CheckFolder(const std::string& folder);
// A drive letter, a colon and a backslash, nothing else.
bool IsDriveRoot(const std::string& folder);
