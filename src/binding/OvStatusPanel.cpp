#include "OvStatusPanel.h"

OvStatusPanel::OvStatusPanel(QWidget* parent) : QLabel(parent) {}
