#pragma once

namespace platform {

// True for a byte that starts a double-byte character in code page 932.
constexpr bool IsDBCSLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

} // namespace platform
