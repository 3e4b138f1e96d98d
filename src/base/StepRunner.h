#pragma once

#include "base/Failure.h"

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace tarnwick {

// The routines' failure rule made explicit: every step runs; a step that
// throws Failure is handed to the routine's reporter and the next step runs.
// A routine builds one runner with its reporter and sends each step through it.
class StepRunner
{
public:
    using Reporter = std::function<void(const Failure&)>;

    // A runner that passes failures over without a word.
    StepRunner() = default;
    explicit StepRunner(Reporter reporter) : m_reporter(std::move(reporter)) {}

    // Runs one step; true when it completed.
    template <typename Step>
    bool run(Step&& step)
    {
        try {
            std::forward<Step>(step)();
            return true;
        } catch (const Failure& failure) {
            report(failure);
            return false;
        }
    }

    // Runs a step that yields a value; a failed step yields nothing.
    template <typename Step>
    auto value(Step&& step) -> std::optional<std::invoke_result_t<Step>>
    {
        try {
            return std::forward<Step>(step)();
        } catch (const Failure& failure) {
            report(failure);
            return std::nullopt;
        }
    }

    // A guarding test: a test that fails counts as true, so execution goes on
    // into what it guards, as the old handlers resumed inside the If.
    template <typename Test>
    bool test(Test&& condition)
    {
        return value(std::forward<Test>(condition)).value_or(true);
    }

    int failures() const noexcept { return m_failures; }

private:
    void report(const Failure& failure)
    {
        ++m_failures;
        if (m_reporter)
            m_reporter(failure);
    }

    Reporter m_reporter;
    int m_failures = 0;
};

} // namespace tarnwick
