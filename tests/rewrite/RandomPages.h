#pragma once
// Random pages and settings for comparing the rewriting with its reference version: every link form
// in random letter case, relative forms, ports, anchors in all eight opening forms split across
// lines, double-byte text in code page 932 and in UTF-8, markers in any case, blank lines at the
// start, mixed line breaks, and now and then a broken byte.

#include "Reference.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace randompages {

struct Case
{
    reference::Settings settings;
    std::string pagePath; // code page 932
    std::string page;
    std::vector<std::string> keywordsJP; // code page 932
    std::vector<std::string> keywordsEN;
    bool robotNo = false;
    std::string closedString; // code page 932
};

class Generator
{
public:
    explicit Generator(std::uint64_t seed) : m_rng(seed) {}
    Case Next();

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    bool Chance(int percent) { return Pick(100) < percent; }
    std::string RandomCase(const std::string& s);
    std::string Word();
    std::string Japanese(bool utf8);
    std::string Link(const std::vector<std::string>& forms);
    std::string Fragment(const std::vector<std::string>& forms, bool utf8, bool broken);

    std::mt19937_64 m_rng;
};

} // namespace randompages
