#pragma once
// The screen form of a code page 932 text with the way back: which screen position each byte is
// shown at, and which byte each screen position stands for. A double-byte character is two bytes and
// one screen character, half-width katakana one byte and one screen character, and a CR LF pair is
// one line break on the screen.

#include <QString>
#include <string_view>
#include <vector>

namespace gui {

struct SourceMap
{
    // The text as a QPlainTextEdit shows it: every CR LF and every lone CR becomes "\n".
    QString screen;
    // For each byte offset (and the end, at index size()), the screen position of its character.
    std::vector<int> positionOfByte;
    // For each screen position (and the end), the byte offset of the character shown there.
    std::vector<size_t> byteOfPosition;

    static SourceMap Build(std::string_view cp932);
    // The bytes between two screen positions, as an offset and a length.
    std::pair<size_t, size_t> Bytes(int startPosition, int endPosition) const;
};

} // namespace gui
