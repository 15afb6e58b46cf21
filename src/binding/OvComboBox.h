#pragma once

#include <QComboBox>

#include "vars/OvOptionList.h"

// A drop-down list of items whose selected item is set and read by position; -1 selects nothing.
class OvComboBox : public QComboBox, public ItemSelector {
    Q_OBJECT

public:
    explicit OvComboBox(QWidget* parent = nullptr);

    void SetItemIndex(int index) override;
    [[nodiscard]] int ItemIndex() const override { return currentIndex(); }
    // The text of the item at the position; raises "Out of range at index of array or list!" (-12)
    // outside 0 to count() - 1.
    [[nodiscard]] QString ItemText(int index) const;
};
