#pragma once

#include "Control.h"

struct PictureDesign {
    Bounds bounds;
    int iconId = 0;  // an icon resource of the program
    bool visible = true;
};

// An icon from the program's resources, centred in its place and drawn over the form's colour.
class Picture : public Control {
  public:
    Picture(Form& parent, const PictureDesign& design);
    ~Picture() override;

  private:
    HICON m_hIcon;
};
