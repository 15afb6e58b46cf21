#include "binding/OvStatusBar.h"

#include "binding/OvStatusPanel.h"

OvStatusBar::OvStatusBar(QWidget* parent) : QStatusBar(parent) { setSizeGripEnabled(false); }

void OvStatusBar::SetSimpleText(const QString& text) {
    if (text.isEmpty()) {
        clearMessage();
    } else {
        showMessage(text);
    }
}

OvStatusPanel* OvStatusBar::AddPanel(int width) {
    auto* const panel = new OvStatusPanel(this);
    panel->setFixedWidth(width);
    addWidget(panel);
    return panel;
}
