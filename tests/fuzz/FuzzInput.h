#pragma once
// What every fuzz entry point shares: the input read as parameter lines followed by a body, and a
// check that ends the run loudly when a property that must hold does not. The entry points are built
// twice: with libFuzzer and the sanitizers by scripts/fuzz, and into the corpus replay test of the
// normal build, so this header uses nothing but the standard library.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fuzz {

class FuzzInput
{
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_rest(reinterpret_cast<const char*>(data), size)
    {
    }

    // The next byte, or 0 when the input is used up.
    std::uint8_t Byte()
    {
        if (m_rest.empty())
            return 0;
        const auto b = static_cast<std::uint8_t>(m_rest.front());
        m_rest.remove_prefix(1);
        return b;
    }

    // The text up to the next line feed (which is consumed and not returned), or all that is left.
    std::string_view Line()
    {
        const std::size_t end = m_rest.find('\n');
        const std::string_view line = m_rest.substr(0, end);
        m_rest.remove_prefix(end == std::string_view::npos ? m_rest.size() : end + 1);
        return line;
    }

    // Everything not read yet.
    std::string_view Rest() const { return m_rest; }

private:
    std::string_view m_rest;
};

// A broken property is a fault like a crash: report it and abort, so that libFuzzer keeps the input
// and the replay test fails.
inline void Check(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", property);
    std::abort();
}

} // namespace fuzz
