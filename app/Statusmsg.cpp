#include "Statusmsg.h"

#include "Messages.h"
#include "resource.h"

const char kDorvelVersionCaption[] = " Quon Dorvel 2.1.0.1";

namespace {

const char kSansSerif[] = "MS Sans Serif";
const char kArial[] = "Arial";
const char kProductLine[] = "Dorvel for Quon Network";
// Label2 keeps its designed size only for this text, which no report writes.
const char kLargeProductLine[] = "Dorvel for Quon ";
constexpr UINT kShowTime = 3000;

// Seen once, during the opening notice.
const char* NoticeLine() {
    return KoreanInForce() ? "Quon Dorvel은 작업 표시줄의 알림 영역에서 실행됩니다."
                           : "Quon Dorvel runs in the notification area of the taskbar.";
}

FormDesign StatusDesign() {
    FormDesign design;
    design.className = "TForm_Status";
    design.caption = kDorvelVersionCaption;
    design.clientWidth = 492;
    design.clientHeight = 240;
    design.border = FormBorder::kToolWindow;
    design.color = kSkyBlue;
    design.alpha = 230;
    design.stayOnTop = true;
    design.screenCentre = true;
    return design;
}

LabelDesign FolderLine(int top) {
    return {20, top, 0, 0, false, {kArial, 10, false}, ""};
}

}  // namespace

TForm_Status::TForm_Status(Application& application)
    : Form(application, StatusDesign()),
      Label1(*this, {20, 8, 400, 40, true, {kSansSerif, 10, true}, " "}),
      Label2(*this, {20, 184, 0, 0, false, {kSansSerif, 10, true}, kProductLine}),
      Timer1(*this, kShowTime, true, [this] { Timer1Timer(); }),
      Label3(*this, {20, 56, 0, 0, false, {kSansSerif, 10, false}, ""}),
      Image1(*this, {{447, 188, 33, 33}, IDI_DORVEL_OFF, true}),
      Label4(*this, {20, 208, 0, 0, false, {kSansSerif, 10, false}, NoticeLine()}),
      Label5(*this, FolderLine(80)),
      Label6(*this, FolderLine(104)),
      Label7(*this, FolderLine(128)),
      Label8(*this, FolderLine(152)),
      Image2(*this, {{447, 188, 33, 33}, IDI_DORVEL_ON, false}) {
    if (KoreanInForce()) SetKoreanFonts();
    FormCreate();
}

void TForm_Status::FormCreate() {
    SetCaption(kDorvelVersionCaption);
}

// Only a show from hidden gets here, so a report while the window is up leaves the timer
// running: the window hides three seconds after it appeared, whatever was reported meanwhile.
void TForm_Status::FormShow() {
    if (KoreanInForce()) {
        SetKoreanFonts();
        Label2.SetFontSize(Label2.Text() == kLargeProductLine ? 10 : 8);
    }
    Timer1.SetEnabled(true);
}

void TForm_Status::Timer1Timer() {
    Timer1.SetEnabled(false);
    Label4.Hide();
    Close();
}

void TForm_Status::DorvelIconConnected() {
    if (Image1.Visible()) Image1.Hide();
    Image2.Show();
}

void TForm_Status::DorvelIconDisConnected() {
    if (Image2.Visible()) Image2.Hide();
    Image1.Show();
}

void TForm_Status::SetKoreanFonts() {
    for (Label* label : {&Label1, &Label5, &Label6, &Label7, &Label8}) label->SetFontSize(9);
}
