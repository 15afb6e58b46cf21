#pragma once

#include <chrono>
#include <functional>

// Handles events while the condition holds, for at most the limit, and sleeps while no event is
// due, so that a long wait costs no processor time. Returns whether the condition still held when
// the wait ended: the limit ran out, or there is no application object to handle events.
bool ProcessEventsWhile(const std::function<bool()>& condition, std::chrono::milliseconds limit);
