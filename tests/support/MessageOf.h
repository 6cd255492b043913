#pragma once
// The text of the exception of type E that f throws, or "(nothing thrown)": lets a test compare the
// exact message a failure carries.

#include <string>

namespace testsupport {

template <typename E, typename F> std::string MessageOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

} // namespace testsupport
