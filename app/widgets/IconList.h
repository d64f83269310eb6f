#pragma once

#include <initializer_list>
#include <vector>

#include "Win32.h"

// Icons from the program's resources at one size, by position, as the designer's picture list
// holds them.
class IconList {
  public:
    IconList(HINSTANCE instance, std::initializer_list<int> iconIds, int size);
    IconList(const IconList&) = delete;
    IconList& operator=(const IconList&) = delete;
    ~IconList();

    HICON Icon(int index) const { return m_icons.at(index); }

  private:
    std::vector<HICON> m_icons;
};
