#pragma once
// Checking what an action throws, in one line: EXPECT_EQ(MessageOfThrown(...), "text").

#include <exception>
#include <functional>
#include <string>

namespace testsupport {

inline const std::string NoException = "no exception";

// The message of the E that the action throws, or NoException when it returns. An exception of
// another type passes through and fails the test.
template <class E = std::exception>
std::string MessageOfThrown(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& error) {
        return error.what();
    }
    return NoException;
}

}  // namespace testsupport
