#pragma once

#include <QString>
#include <QWidget>
#include <utility>
#include <vector>

#include "binding/UiHooks.h"

// Records beeps, message boxes, questions (answering each with `answer`) and (unless told to let them
// through) posted focus moves instead of making them, for as long as it lives.
class UiRecorder {
public:
    struct Box {
        QWidget* parent;
        QString caption;
        QString text;
    };
    enum class Focus { Record, Move };

    explicit UiRecorder(Focus focus = Focus::Record)
        : hooks_(UiHooks{[this](int frequency, int duration) { beeps.emplace_back(frequency, duration); },
                         [this](QWidget* parent, const QString& caption, const QString& text) {
                             boxes.push_back({parent, caption, text});
                         },
                         focus == Focus::Record
                             ? std::function<void(QWidget*)>([this](QWidget* w) { focusPosts.push_back(w); })
                             : std::function<void(QWidget*)>(),
                         [this](QWidget* parent, const QString& caption, const QString& text) {
                             questions.push_back({parent, caption, text});
                             return answer;
                         }}) {}

    [[nodiscard]] std::vector<QString> BoxTexts() const {
        std::vector<QString> texts;
        for (const Box& box : boxes) texts.push_back(box.text);
        return texts;
    }

    std::vector<std::pair<int, int>> beeps;
    std::vector<Box> boxes;
    std::vector<QWidget*> focusPosts;
    std::vector<Box> questions;
    bool answer = false;  // to every question: true for Yes

private:
    ScopedUiHooks hooks_;
};
