#include "gui/SourceMap.h"

#include "gui/QtText.h"
#include "text/VB.h"

#include <algorithm>
#include <unordered_map>

namespace gui {

SourceMap SourceMap::Build(std::string_view cp932)
{
    SourceMap map;
    const size_t size = cp932.size();
    map.positionOfByte.assign(size + 1, 0);
    map.byteOfPosition.reserve(size + 1);
    map.screen.reserve(static_cast<qsizetype>(size));
    // Each character is converted on its own, so that the way back is known exactly; a page holds
    // few distinct non-ASCII characters, and each is converted once.
    std::unordered_map<unsigned, QString> converted;
    size_t i = 0;
    while (i < size) {
        const auto byte = static_cast<unsigned char>(cp932[i]);
        size_t width = 1;
        QString piece;
        if (byte == '\r') {
            width = i + 1 < size && cp932[i + 1] == '\n' ? 2 : 1;
            piece = QStringLiteral("\n");
        } else if (byte < 0x80) {
            piece = QChar(byte);
        } else {
            // A lead byte in the last place stands alone.
            width = std::min<size_t>(static_cast<size_t>(text::CharBytes(byte)), size - i);
            const unsigned key = width == 2 ? (byte << 8) | static_cast<unsigned char>(cp932[i + 1]) : byte;
            auto found = converted.find(key);
            if (found == converted.end())
                found = converted.emplace(key, Qs(cp932.substr(i, width))).first;
            piece = found->second;
        }
        const int position = static_cast<int>(map.screen.size());
        for (size_t k = i; k < i + width; ++k)
            map.positionOfByte[k] = position;
        for (qsizetype k = 0; k < piece.size(); ++k)
            map.byteOfPosition.push_back(i);
        map.screen += piece;
        i += width;
    }
    map.positionOfByte[size] = static_cast<int>(map.screen.size());
    map.byteOfPosition.push_back(size);
    return map;
}

std::pair<size_t, size_t> SourceMap::Bytes(int startPosition, int endPosition) const
{
    const auto clamp = [this](int position) {
        return byteOfPosition[static_cast<size_t>(
            std::clamp<qsizetype>(position, 0, static_cast<qsizetype>(byteOfPosition.size()) - 1))];
    };
    const size_t start = clamp(std::min(startPosition, endPosition));
    const size_t end = clamp(std::max(startPosition, endPosition));
    return {start, end - start};
}

} // namespace gui
