#pragma once

#include "Form.h"
#include "Label.h"
#include "Picture.h"
#include "Timer.h"

// The product line in the status window's caption and the tray's hints.
extern const char kDorvelVersionCaption[];

// The small always-on-top window that reports what happened and hides itself after three
// seconds; at start-up it is the opening notice. The other windows write its labels directly.
class TForm_Status : public Form {
  public:
    explicit TForm_Status(Application& application);

    void DorvelIconConnected();
    void DorvelIconDisConnected();

    Label Label1;
    Label Label2;
    Timer Timer1;
    Label Label3;
    Picture Image1;
    Label Label4;
    Label Label5;
    Label Label6;
    Label Label7;
    Label Label8;
    Picture Image2;

  private:
    void FormCreate();
    void FormShow() override;
    void Timer1Timer();
    void SetKoreanFonts();
};
