#include "rewrite/RewritePage.h"

#include "rewrite/ClosedPage.h"
#include "rewrite/LinkForms.h"
#include "rewrite/PageFile.h"
#include "settings/ConfigUnit.h"

#include <algorithm>
#include <array>
#include <vector>

namespace rewrite {

namespace {

constexpr size_t kNone = std::string_view::npos;

// The link forms of a page in the page's encoding, in the order they are applied: k = 4, 3, 2, 1,
// each with the link form and then the relative form. Forms that must not be applied are left out.
struct AppliedForm
{
    std::string form;
    std::string suffix; // ":" for the colon forms (k = 4 and 3), "/" otherwise
};

std::vector<AppliedForm> FormsInOrder(const RewriteSettings& settings, std::string_view pagePath,
                                      PageEncoding encoding)
{
    const LinkForms forms = BuildLinkForms(settings.ReplaceLink, pagePath);
    std::vector<AppliedForm> ordered;
    for (int k = 3; k >= 0; --k) {
        const std::string suffix = k >= 2 ? ":" : "/";
        const std::string& l = forms.L[static_cast<size_t>(k)];
        const std::string& r = forms.R[static_cast<size_t>(k)];
        // The link form goes first, so that a relative form found inside it (a page above the link
        // folder) cannot cut it apart. A POSIX relative form holds the whole link form at its end
        // ("../../var/www/html/" and "/var/www/html/"); that one goes first, or the link form would
        // leave "../.." in front of the new address.
        const bool relativeFirst = r != l && r.find(l) != std::string::npos;
        for (const std::string* form : relativeFirst ? std::array{&r, &l} : std::array{&l, &r}) {
            if (!IsInertForm(*form))
                ordered.push_back({ToPageEncoding(*form, encoding), suffix});
        }
    }
    return ordered;
}

// One replacement of the normal mode.
struct Replacement
{
    Needle needle;
    std::string text;
};

// The eight replacements of one form, in their order, with the form itself as a quick test: every
// searched text ends with the form, so a line without the form is left alone by all eight.
struct FormReplacements
{
    Needle form;
    std::array<Replacement, 8> steps;
};

std::vector<FormReplacements> NormalReplacements(const std::vector<AppliedForm>& forms,
                                                 std::string_view address, PageEncoding encoding)
{
    std::vector<FormReplacements> all;
    for (const AppliedForm& f : forms) {
        const std::string withSuffix = std::string(address) + f.suffix;
        const std::string http = "http://" + withSuffix;
        const std::string& x = f.form;
        all.push_back(FormReplacements{
            Needle(x, encoding),
            {{
                {Needle("https://" + x, encoding), "https://" + withSuffix},
                {Needle("ftp://" + x, encoding), "ftp://" + withSuffix},
                {Needle("@" + x, encoding), "@" + withSuffix},
                {Needle("http://" + x, encoding), http},
                {Needle("http:///" + x, encoding), http},
                {Needle("file://" + x, encoding), http},
                {Needle("file:///" + x, encoding), http},
                {Needle(x, encoding), http},
            }},
        });
    }
    return all;
}

// The 64 (at most) patterns of the closing mode, in their order.
std::vector<std::string> ClosingPatterns(const std::vector<AppliedForm>& forms)
{
    std::vector<std::string> patterns;
    for (const AppliedForm& f : forms) {
        for (const char* prefix :
             {"ftp://", "@", "http://", "http:///", "file://", "file:///", "https://", ""})
            patterns.push_back(prefix + f.form);
    }
    return patterns;
}

// Marks the lines in which at least one of the forms occurs: only those can change. The search runs
// over the whole page at once; a line break is never part of a character, so a match found in the
// whole page is a match in its line.
std::vector<bool> LinesWithForms(std::string_view page, const std::vector<std::string_view>& lines,
                                 const std::vector<Needle>& forms, PageEncoding encoding)
{
    std::vector<bool> marked(lines.size(), false);
    std::vector<size_t> lineStarts;
    lineStarts.reserve(lines.size());
    for (std::string_view line : lines)
        lineStarts.push_back(static_cast<size_t>(line.data() - page.data()));
    for (const Needle& form : forms) {
        size_t from = 0;
        for (;;) {
            const size_t found = form.FindIn(page, from, encoding);
            if (found == kNone)
                break;
            const size_t line =
                static_cast<size_t>(std::upper_bound(lineStarts.begin(), lineStarts.end(), found) -
                                    lineStarts.begin()) -
                1;
            marked[line] = true;
            if (line + 1 >= lines.size())
                break;
            from = lineStarts[line + 1]; // one match is enough for a line
        }
    }
    return marked;
}

std::vector<Needle> FormNeedles(const std::vector<AppliedForm>& forms, PageEncoding encoding)
{
    std::vector<Needle> needles;
    for (const AppliedForm& f : forms)
        needles.emplace_back(f.form, encoding);
    return needles;
}

// Applies the replacements to one line; returns the new line.
std::string RewriteLine(std::string_view line, const std::vector<FormReplacements>& replacements,
                        PageEncoding encoding)
{
    std::string current(line);
    std::string replaced;
    for (const FormReplacements& group : replacements) {
        if (group.form.FindIn(current, 0, encoding) == kNone)
            continue;
        for (const Replacement& step : group.steps) {
            if (ReplaceAll(current, step.needle, step.text, encoding, replaced))
                current.swap(replaced);
        }
    }
    return current;
}

std::string NormalCopy(std::string_view page, const std::vector<std::string_view>& lines,
                       const std::vector<AppliedForm>& forms, std::string_view address, PageEncoding encoding,
                       bool& changed)
{
    const std::vector<FormReplacements> replacements = NormalReplacements(forms, address, encoding);
    const std::vector<bool> candidates = LinesWithForms(page, lines, FormNeedles(forms, encoding), encoding);
    std::string out;
    out.reserve(page.size() + lines.size() + 64);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!candidates[i]) {
            AppendLineCrLf(out, lines[i]);
            continue;
        }
        const std::string line = RewriteLine(lines[i], replacements, encoding);
        changed = changed || line != lines[i];
        AppendLineCrLf(out, line);
    }
    return out;
}

// Links expected to open and close within one line: each line by itself.
std::string ClosingCopyByLine(std::string_view page, const std::vector<std::string_view>& lines,
                              const std::vector<AppliedForm>& forms, PageEncoding encoding, bool& changed)
{
    const std::vector<std::string> patterns = ClosingPatterns(forms);
    const std::vector<bool> candidates = LinesWithForms(page, lines, FormNeedles(forms, encoding), encoding);
    std::string out;
    out.reserve(page.size() + lines.size() + 64);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!candidates[i]) {
            AppendLineCrLf(out, lines[i]);
            continue;
        }
        std::string line(lines[i]);
        bool lineChanged = false;
        for (const std::string& pattern : patterns)
            lineChanged = DisableLinksIn(line, pattern, encoding) || lineChanged;
        changed = changed || (lineChanged && line != lines[i]);
        AppendLineCrLf(out, line);
    }
    return out;
}

// Links that may span lines: the whole page as one text. Blank lines at the very start are not part
// of that text.
std::string ClosingCopyWhole(const std::vector<std::string_view>& lines,
                             const std::vector<AppliedForm>& forms, PageEncoding encoding, bool& changed)
{
    std::string text;
    for (std::string_view line : lines) {
        if (!text.empty())
            text.append("\r\n", 2);
        text.append(line);
    }
    bool textChanged = false;
    for (const AppliedForm& form : forms) {
        // Every pattern of a form ends with the form: without it in the text, none of them can match.
        if (Needle(form.form, encoding).FindIn(text, 0, encoding) == kNone)
            continue;
        for (const std::string& pattern : ClosingPatterns({form}))
            textChanged = DisableLinksIn(text, pattern, encoding) || textChanged;
    }
    if (textChanged) {
        // Removing text can give back the same bytes only if nothing was removed.
        changed = true;
    }
    // Split at CR LF and every line written with CR LF: the text itself plus one final break. The tags
    // removed never hold half of a line break, so the breaks in the text are still whole.
    if (!text.empty())
        text.append("\r\n", 2);
    return text;
}

} // namespace

RewriteSettings RewriteSettings::From(const settings::TConfig& config)
{
    RewriteSettings s;
    s.ReplaceLink = config.ReplaceLink;
    s.ReplaceOnly = config.ReplaceOnly != 0;
    s.ClosedFast = config.ClosedFast != 0;
    s.IPtoURL = config.IPtoURL != 0;
    return s;
}

std::string AddressText(const RewriteSettings& settings, const RewriteState& state)
{
    if (settings.IPtoURL && !state.NewHostName.empty())
        return state.NewHostName;
    // An IPv6 address holds colons, which in a URL would read as the port: it stands in brackets
    // wherever a host goes (http://[2001:db8::10]:8080/, user@[2001:db8::10]/).
    if (state.NewGlobalIP.find(':') != std::string::npos)
        return "[" + state.NewGlobalIP + "]";
    return state.NewGlobalIP;
}

std::optional<std::string> RewritePageText(std::string_view page, std::string_view pagePath, bool closing,
                                           const RewriteSettings& settings, const RewriteState& state,
                                           PageEncoding encoding)
{
    const std::vector<std::string_view> lines = SplitLines(page);
    if (lines.empty())
        return std::nullopt;
    const std::vector<AppliedForm> forms = FormsInOrder(settings, pagePath, encoding);
    bool changed = false;
    std::string copy;
    if (!closing)
        copy = NormalCopy(page, lines, forms, ToPageEncoding(AddressText(settings, state), encoding),
                          encoding, changed);
    else if (settings.ClosedFast)
        copy = ClosingCopyByLine(page, lines, forms, encoding, changed);
    else
        copy = ClosingCopyWhole(lines, forms, encoding, changed);
    if (changed || state.UploadAll || !settings.ReplaceOnly)
        return copy;
    return std::nullopt;
}

std::optional<std::string> RewritePageText(std::string_view page, std::string_view pagePath, bool closing,
                                           const RewriteSettings& settings, const RewriteState& state)
{
    return RewritePageText(page, pagePath, closing, settings, state, DetectPageEncoding(page));
}

std::string RewritePage(const std::string& pagePath, bool closing, const RewriteSettings& settings,
                        const RewriteState& state)
{
    const std::string copyPath = UploadCopyPath();
    RemoveFileIfExists(copyPath);
    const std::optional<std::string> page = ReadFileIfExists(pagePath);
    if (!page)
        return {};
    const std::optional<std::string> copy = RewritePageText(*page, pagePath, closing, settings, state);
    if (!copy)
        return {};
    WriteWholeFile(copyPath, *copy);
    return copyPath;
}

std::string RewritePage(const std::string& pagePath, bool closing, const settings::TConfig& config,
                        const RewriteState& state)
{
    return RewritePage(pagePath, closing, RewriteSettings::From(config), state);
}

} // namespace rewrite
