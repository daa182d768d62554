#pragma once
// Runs a step when a scope is left, on every way out (a return or an
// exception): the actions use it to return the form to idle.
#include <utility>

namespace trevanix {

template <typename Step>
class OnScopeExit {
public:
    explicit OnScopeExit(Step step) : step_(std::move(step)) {}
    ~OnScopeExit()
    {
        // An exception already under way must not meet a second one.
        try {
            step_();
        } catch (...) {
        }
    }
    OnScopeExit(const OnScopeExit&) = delete;
    OnScopeExit& operator=(const OnScopeExit&) = delete;

private:
    Step step_;
};

} // namespace trevanix
