// Compares two texts line by line, so that a failure names the first line
// that differs instead of printing two whole reports.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace rv::testing {

inline ::testing::AssertionResult sameText(const std::string& actual, const std::string& expected) {
    std::size_t a = 0, e = 0;
    for (int line = 1;; ++line) {
        const std::size_t aEnd = actual.find('\n', a), eEnd = expected.find('\n', e);
        const std::string aLine = actual.substr(a, aEnd == std::string::npos ? aEnd : aEnd - a);
        const std::string eLine = expected.substr(e, eEnd == std::string::npos ? eEnd : eEnd - e);
        if (aLine != eLine || (aEnd == std::string::npos) != (eEnd == std::string::npos)) {
            return ::testing::AssertionFailure()
                   << "line " << line << " differs:\n  actual:   " << aLine
                   << "\n  expected: " << eLine;
        }
        if (aEnd == std::string::npos) return ::testing::AssertionSuccess();
        a = aEnd + 1;
        e = eEnd + 1;
    }
}

}  // namespace rv::testing
