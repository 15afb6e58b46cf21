#pragma once

#include <QPlainTextEdit>
#include <QStringList>

// A multi-line text of lines; appending a line keeps the earlier ones, so a memo can keep a log.
class OvMemo : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit OvMemo(QWidget* parent = nullptr);

    void AppendLine(const QString& line);
    [[nodiscard]] QStringList Lines() const;
    [[nodiscard]] int LineCount() const;
};
