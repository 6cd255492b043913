#pragma once
// Reads the include lines of the source tree and judges them against the layer order of
// src/layers.txt: a file may include its own folder and folders of lower layers only.

#include <filesystem>
#include <string>
#include <vector>

namespace layers {

// The folders of each layer, lowest layer first.
using LayerOrder = std::vector<std::vector<std::string>>;

// One line per layer, folders separated by blanks; '#' lines and blank lines are skipped.
LayerOrder ParseLayerOrder(const std::string& text);

struct Include
{
    std::string file;   // relative to the source folder, with '/' separators ("net/IdSMTP.cpp")
    int line = 0;       // 1-based
    std::string target; // as written between the quotes
};

// The quoted includes of one file's text.
std::vector<Include> ReadIncludes(const std::string& file, const std::string& content);

// The quoted includes of every .h and .cpp file in the folders of sourceDir.
std::vector<Include> ReadSourceTree(const std::filesystem::path& sourceDir);

// One message per include the order does not allow, each starting "file:line: ".
std::vector<std::string> CheckIncludes(const LayerOrder& order, const std::vector<Include>& includes);

} // namespace layers
