#include "binding/OvMemo.h"

#include <QTextBlock>
#include <QTextDocument>

OvMemo::OvMemo(QWidget* parent) : QPlainTextEdit(parent) {}

void OvMemo::AppendLine(const QString& line) { appendPlainText(line); }

QStringList OvMemo::Lines() const {
    if (document()->isEmpty()) return {};
    QStringList lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        lines.append(block.text());
    }
    return lines;
}

int OvMemo::LineCount() const { return document()->isEmpty() ? 0 : document()->blockCount(); }
