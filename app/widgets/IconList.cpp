#include "IconList.h"

IconList::IconList(HINSTANCE instance, std::initializer_list<int> iconIds, int size) {
    for (int id : iconIds) {
        m_icons.push_back(static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    }
}

IconList::~IconList() {
    for (HICON icon : m_icons) {
        if (icon != nullptr) DestroyIcon(icon);
    }
}
