#include "binding/OvComboBox.h"

#include "errors/Messages.h"

OvComboBox::OvComboBox(QWidget* parent) : QComboBox(parent) {}

void OvComboBox::SetItemIndex(int index) { setCurrentIndex(index >= 0 && index < count() ? index : -1); }

QString OvComboBox::ItemText(int index) const {
    if (index < 0 || index >= count()) RaiseConstraintError(kIndexOutOfRange);
    return itemText(index);
}
