#pragma once

#include <functional>
#include <string>

#include "Control.h"

struct ComboBoxDesign {
    Bounds bounds;  // the height is that of the closed box; the list opens below it
    int visibleRows = 8;
    FontSpec font;
};

// A drop-down list the user picks an entry from; no typing. Picking an entry runs the handler.
class ComboBox : public Control {
  public:
    ComboBox(Form& parent, const ComboBoxDesign& design, std::function<void()> onSelect);

    void Clear() const;
    void Add(const std::string& text) const;
    int Count() const;
    // -1 when no entry is selected.
    int ItemIndex() const;
    // Selecting a position past the end leaves no entry selected.
    void SetItemIndex(int index) const;
    std::string Item(int index) const;

    void Notify(WORD code) override;

  private:
    std::function<void()> m_onSelect;
};
