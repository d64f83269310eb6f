#include "Picture.h"

#include "Dpi.h"
#include "Form.h"

Picture::Picture(Form& parent, const PictureDesign& design)
    : Control(parent, L"STATIC",
              SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE | (design.visible ? WS_VISIBLE : 0),
              design.bounds),
      m_hIcon(
          static_cast<HICON>(LoadImageW(parent.App().Instance(), MAKEINTRESOURCEW(design.iconId),
                                        IMAGE_ICON, Scaled(32), Scaled(32), LR_DEFAULTCOLOR))) {
    SendMessageW(Handle(), STM_SETICON, reinterpret_cast<WPARAM>(m_hIcon), 0);
}

Picture::~Picture() {
    if (m_hIcon != nullptr) DestroyIcon(m_hIcon);
}
