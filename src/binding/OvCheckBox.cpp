#include "binding/OvCheckBox.h"

OvCheckBox::OvCheckBox(QWidget* parent) : QCheckBox(parent) {}

OvCheckBox::OvCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {}
