#pragma once

#include <QGroupBox>
#include <QStringList>

#include "vars/OvOptionList.h"

class QButtonGroup;
class QRadioButton;
class QVBoxLayout;

// A captioned group of mutually exclusive radio buttons, one per item, selected by position;
// -1 selects none.
class OvRadioGroup : public QGroupBox, public ItemSelector {
    Q_OBJECT

public:
    explicit OvRadioGroup(QWidget* parent = nullptr);
    explicit OvRadioGroup(const QString& caption, QWidget* parent = nullptr);

    // Replaces the items; nothing is selected afterwards.
    void SetItems(const QStringList& items);
    void AddItem(const QString& text);
    [[nodiscard]] int ItemCount() const;
    // The text of the item at the position; raises "Out of range at index of array or list!" (-12)
    // outside 0 to ItemCount() - 1.
    [[nodiscard]] QString ItemText(int index) const;

    void SetItemIndex(int index) override;
    [[nodiscard]] int ItemIndex() const override;

signals:
    // The user or the program selected another item (or none).
    void itemIndexChanged(int index);

private:
    void ClearSelection();

    QButtonGroup* buttons_;
    QVBoxLayout* layout_;
};
