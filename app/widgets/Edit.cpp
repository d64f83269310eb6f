#include "Edit.h"

Edit::Edit(Form& parent, const EditDesign& design)
    : Control(parent, L"EDIT", WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | ES_READONLY,
              design.bounds) {
    SetFont(design.font);
    SetColor(design.color);
    if (design.maxLength > 0) SendMessageW(Handle(), EM_SETLIMITTEXT, design.maxLength, 0);
}
