// A routine's steps that end at the first failure, which the routine then
// reports with its own letter (common/failure_places.h).
#pragma once

#include <exception>
#include <utility>

#include "common/reports.h"
#include "platform/error.h"

namespace sizewalk {

// Thrown by a step to end the steps after it.
struct StepFailure {
    Error error;
};

inline void Check(const Status& status) {
    if (status) {
        throw StepFailure{*status};
    }
}

// The value of `outcome`, or the end of the steps.
template <typename T>
T Take(Outcome<T> outcome) {
    if (!outcome.ok()) {
        throw StepFailure{outcome.error()};
    }
    return std::move(outcome.value());
}

// Runs `steps`; returns the failure that ended them, if any.
template <typename Steps>
Status Attempt(Steps&& steps) {
    try {
        steps();
        return std::nullopt;
    } catch (const StepFailure& failure) {
        return failure.error;
    } catch (const std::exception& exception) {
        return ErrorFromException(exception);
    }
}

// Runs `steps` as a routine at `place`: the failure that ends them is
// reported with the place's letter, and returned.
template <typename Steps>
Status RunReported(MessageBoxService& messages, const FailurePlace& place, Steps&& steps) {
    Status failure = Attempt(std::forward<Steps>(steps));
    if (failure) {
        ShowErrorReport(messages, *failure, place);
    }
    return failure;
}

}  // namespace sizewalk
