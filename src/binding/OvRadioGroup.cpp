#include "binding/OvRadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

#include "errors/Messages.h"

OvRadioGroup::OvRadioGroup(QWidget* parent) : OvRadioGroup(QString(), parent) {}

OvRadioGroup::OvRadioGroup(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)), layout_(new QVBoxLayout(this)) {
    buttons_->setExclusive(true);
    connect(buttons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) emit itemIndexChanged(id);
    });
}

void OvRadioGroup::SetItems(const QStringList& items) {
    const QList<QAbstractButton*> old = buttons_->buttons();
    for (QAbstractButton* button : old) {
        buttons_->removeButton(button);
        delete button;  // a child of this group box; removed from the layout by its destruction
    }
    for (const QString& text : items) AddItem(text);
}

void OvRadioGroup::AddItem(const QString& text) {
    auto* const button = new QRadioButton(text, this);
    buttons_->addButton(button, ItemCount());
    layout_->addWidget(button);
}

int OvRadioGroup::ItemCount() const { return static_cast<int>(buttons_->buttons().size()); }

QString OvRadioGroup::ItemText(int index) const {
    const QAbstractButton* const button = buttons_->button(index);
    if (button == nullptr) RaiseConstraintError(kIndexOutOfRange);
    return button->text();
}

void OvRadioGroup::SetItemIndex(int index) {
    QAbstractButton* const button = buttons_->button(index);
    if (button == nullptr) {
        ClearSelection();
        return;
    }
    button->setChecked(true);
}

int OvRadioGroup::ItemIndex() const { return buttons_->checkedId(); }

void OvRadioGroup::ClearSelection() {
    QAbstractButton* const checked = buttons_->checkedButton();
    if (checked == nullptr) return;
    // An exclusive group keeps one button checked; unchecking needs exclusivity off for a moment.
    buttons_->setExclusive(false);
    checked->setChecked(false);
    buttons_->setExclusive(true);
    emit itemIndexChanged(-1);
}
