#include "binding/OvStatusPanel.h"

OvStatusPanel::OvStatusPanel(QWidget* parent) : QLabel(parent) {}
