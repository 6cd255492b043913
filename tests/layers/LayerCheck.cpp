#include "layers/LayerCheck.h"

#include "support/TempFolder.h"

#include <algorithm>
#include <map>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace layers {

LayerOrder ParseLayerOrder(const std::string& text)
{
    LayerOrder order;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.starts_with('#'))
            continue;
        std::istringstream words(line);
        std::vector<std::string> folders;
        for (std::string folder; words >> folder;)
            folders.push_back(folder);
        if (!folders.empty())
            order.push_back(folders);
    }
    return order;
}

std::vector<Include> ReadIncludes(const std::string& file, const std::string& content)
{
    static const std::regex includeLine(R"(^\s*#\s*include\s*"([^"]+)\")");
    std::vector<Include> includes;
    std::istringstream lines(content);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::smatch match;
        if (std::regex_search(line, match, includeLine))
            includes.push_back({file, number, match[1].str()});
    }
    return includes;
}

std::vector<Include> ReadSourceTree(const fs::path& sourceDir)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(sourceDir)) {
        const fs::path& p = entry.path();
        const bool inFolder = p.parent_path() != sourceDir;
        if (entry.is_regular_file() && inFolder && (p.extension() == ".h" || p.extension() == ".cpp"))
            files.push_back(p);
    }
    std::sort(files.begin(), files.end());
    std::vector<Include> includes;
    for (const fs::path& p : files) {
        const std::string content = testsupport::ReadBytes(QString::fromStdString(p.string()));
        const auto found = ReadIncludes(p.lexically_relative(sourceDir).generic_string(), content);
        includes.insert(includes.end(), found.begin(), found.end());
    }
    return includes;
}

namespace {

std::string FirstFolder(const fs::path& path)
{
    return path.empty() ? std::string() : path.begin()->generic_string();
}

// The folder an include lands in: a path with a folder is taken from the source folder (the one
// include directory), except "./" and "../" forms, which start at the including file; a bare name is
// a neighbour of the including file.
std::string TargetFolder(const Include& include)
{
    const fs::path target(include.target);
    const fs::path fileFolder = fs::path(include.file).parent_path();
    if (include.target.starts_with("./") || include.target.starts_with("../"))
        return FirstFolder((fileFolder / target).lexically_normal());
    if (!target.has_parent_path())
        return FirstFolder(fileFolder);
    return FirstFolder(target);
}

} // namespace

std::vector<std::string> CheckIncludes(const LayerOrder& order, const std::vector<Include>& includes)
{
    std::map<std::string, std::size_t> layerOf;
    for (std::size_t layer = 0; layer < order.size(); ++layer)
        for (const std::string& folder : order[layer])
            layerOf[folder] = layer;

    std::vector<std::string> faults;
    for (const Include& include : includes) {
        const std::string where = include.file + ':' + std::to_string(include.line) + ": ";
        const std::string from = FirstFolder(include.file);
        const std::string to = TargetFolder(include);
        const auto fromLayer = layerOf.find(from);
        const auto toLayer = layerOf.find(to);
        if (fromLayer == layerOf.end()) {
            faults.push_back(where + "folder \"" + from + "\" is in no layer of the order");
        } else if (toLayer == layerOf.end()) {
            faults.push_back(where + "includes \"" + include.target + "\", whose folder is in no layer");
        } else if (from == to) {
            continue;
        } else if (toLayer->second > fromLayer->second) {
            faults.push_back(where + "includes \"" + include.target + "\": " + to +
                             " is a higher layer than " + from);
        } else if (toLayer->second == fromLayer->second) {
            faults.push_back(where + "includes \"" + include.target + "\": " + to + " and " + from +
                             " are folders of one layer");
        }
    }
    return faults;
}

} // namespace layers
