#pragma once

#include <functional>
#include <utility>

#include <QObject>

// A call made on the event loop of the thread that owns it, asked for any number of times and
// made once until it has run. It is bound to an object of its own, so that a call still waiting
// is dropped when its owner goes.
class PostedCall {
public:
    explicit PostedCall(std::function<void()> call) : call_(std::move(call)) {}
    PostedCall(const PostedCall&) = delete;
    PostedCall& operator=(const PostedCall&) = delete;

    void Post() {
        if (posted_) return;
        posted_ = true;
        QMetaObject::invokeMethod(
            &receiver_,
            [this] {
                // Cleared first: the call may run an event loop that needs another.
                posted_ = false;
                call_();
            },
            Qt::QueuedConnection);
    }

private:
    QObject receiver_;
    bool posted_ = false;
    std::function<void()> call_;
};
