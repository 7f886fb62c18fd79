// Assertions on core::Status that print the code and the reason when they fail.
#pragma once

#include "core/status.h"

#include <gtest/gtest.h>

namespace velanox::test {

inline ::testing::AssertionResult succeeded(const core::Status& status) {
    if (status.ok()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "failed with code " << int(status.code) << ": " << status.reason;
}

} // namespace velanox::test
