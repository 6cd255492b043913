#include "RandomPages.h"

#include "platform/Codepage.h"
#include "text/Sjis.h"

#include <algorithm>
#include <array>

namespace randompages {

namespace {

struct Scenario
{
    const char8_t* replaceLink;
    const char8_t* pagePath;
};

// Link bases and pages: an address, Windows folders (page elsewhere on the drive, in a subfolder of
// the link folder, in the link folder itself), a share, POSIX folders, a folder name whose double-byte
// characters end in the byte of "\", and no link base at all.
constexpr std::array<Scenario, 11> kScenarios = {{
    {u8"192.168.0.2", u8"C:\\My Documents\\My Webs\\index.htm"},
    {u8"C:\\Inetpub\\webpub", u8"C:\\My Documents\\My Webs\\index.htm"},
    {u8"C:\\Inetpub\\webpub\\", u8"c:\\inetpub\\WEBPUB\\sub\\a.htm"},
    {u8"C:\\Inetpub\\webpub", u8"C:\\Inetpub\\webpub\\index.htm"},
    {u8"/var/www/html", u8"/home/u/www/index.htm"},
    {u8"/var/www/html/", u8"/var/www/html/sub/deeper/a.htm"},
    {u8"\\\\server\\share\\www", u8"\\\\SERVER\\share\\pages\\x.htm"},
    {u8"C:\\ウェブ\\表", u8"C:\\ウェブ\\表\\ソ\\p.htm"},
    {u8"D:\\能", u8"C:\\pages\\p.htm"},
    {u8"", u8"C:\\pages\\p.htm"},
    {u8"home.example", u8"/home/u/index.htm"},
}};

constexpr std::array<const char8_t*, 12> kJapanese = {
    u8"表", u8"ソ", u8"能", u8"ア", u8"ヘ", u8"ミ", u8"漢字", u8"こちら", u8"：", u8"ｱｲｳ", u8"亜", u8"予定表",
};
constexpr std::array<const char*, 6> kOpenings = {
    "<a href=\"", "< a href=\"", "<A HREF =\"", "< a href = \"", "<a href= \"", "< A href= \"",
};
constexpr std::array<const char*, 9> kPrefixes = {
    "http://", "https://", "ftp://", "@", "http:///", "file://", "file:///", "", "mailto:x@",
};
constexpr std::array<const char*, 4> kMarkers = {
    "<!-- Quillmap TimeStamp -->",
    "<!-- Quillmap Version -->",
    "<!-- Quillmap Closed -->",
    "<!-- QuillMap  Closed -->",
};
constexpr std::array<const char*, 14> kPunctuation = {
    "<", ">", "\"", ":", "/", "\\", "@", " ", "=", "<a", "href", "</", "..\\", "../",
};

std::string Sjis(const char8_t* s)
{
    return text::Sjis(s);
}

} // namespace

std::string Generator::RandomCase(const std::string& s)
{
    std::string out = s;
    const int mode = Pick(3);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z' && (mode == 1 || (mode == 2 && Chance(50))))
            c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z' && (mode == 0 || (mode == 2 && Chance(50))))
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string Generator::Word()
{
    static const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_ ";
    std::string w;
    const int n = 1 + Pick(8);
    for (int i = 0; i < n; ++i)
        w += letters[static_cast<size_t>(Pick(static_cast<int>(letters.size())))];
    return w;
}

std::string Generator::Japanese(bool utf8)
{
    const std::string cp932 = Sjis(kJapanese[static_cast<size_t>(Pick(kJapanese.size()))]);
    if (utf8)
        return Chance(10) ? std::string("\xF0\x9F\x98\x80") : platform::Cp932ToUtf8(cp932);
    if (Chance(15)) {
        // Any lead byte with any trail byte, letters and "\" among the trail bytes.
        std::string pair(1, static_cast<char>(Chance(50) ? 0x81 + Pick(0x1F) : 0xE0 + Pick(0x1D)));
        pair += static_cast<char>(0x40 + Pick(0xBD));
        return pair;
    }
    return cp932;
}

std::string Generator::Link(const std::vector<std::string>& forms)
{
    std::string link = RandomCase(kPrefixes[static_cast<size_t>(Pick(kPrefixes.size()))]);
    if (forms.empty() || Chance(10)) {
        link += Chance(50) ? "192.168.0.20/" : "203.0.113.5/";
    } else {
        const std::string& form = forms[static_cast<size_t>(Pick(static_cast<int>(forms.size())))];
        link += RandomCase(form);
        if (!form.empty() && form.back() == ':')
            link += Chance(70) ? "8080/" : "";
    }
    switch (Pick(4)) {
    case 0:
        link += "index.html";
        break;
    case 1:
        link += "sub/a.htm";
        break;
    case 2:
        link += "sub\\b.htm";
        break;
    default:
        break;
    }
    return link;
}

std::string Generator::Fragment(const std::vector<std::string>& forms, bool utf8, bool broken)
{
    switch (Pick(broken ? 12 : 11)) {
    case 0:
        return Word();
    case 1:
        return Japanese(utf8);
    case 2:
    case 3:
        return Link(forms);
    case 4:
        return RandomCase(kOpenings[static_cast<size_t>(Pick(kOpenings.size()))]) + Link(forms) + "\">";
    case 5:
        return RandomCase(Chance(70) ? "</a>" : "< /a >");
    case 6:
        return RandomCase(kOpenings[static_cast<size_t>(Pick(kOpenings.size()))]) + Link(forms) + "\">" +
               (Chance(50) ? Word() : Japanese(utf8)) + RandomCase(Chance(70) ? "</a>" : "< /a >");
    case 7:
        return RandomCase(kMarkers[static_cast<size_t>(Pick(kMarkers.size()))]);
    case 8:
        return Chance(70) ? "</head>" : "</HEAD>";
    case 9:
        return kPunctuation[static_cast<size_t>(Pick(kPunctuation.size()))];
    case 10:
        return "<a target=\"_blank\" href=\"" + Link(forms) + "\">";
    default:
        switch (Pick(3)) {
        case 0:
            return std::string(1, '\x82'); // a lead byte with whatever follows
        case 1:
            return std::string(1, '\0');
        default:
            return std::string("\x82<", 2);
        }
    }
}

Case Generator::Next()
{
    Case c;
    const Scenario& scenario = kScenarios[static_cast<size_t>(Pick(kScenarios.size()))];
    c.settings.ReplaceLink = Sjis(scenario.replaceLink);
    c.pagePath = Sjis(scenario.pagePath);
    c.settings.ReplaceOnly = Chance(70);
    c.settings.ClosedFast = Chance(50);
    c.settings.IPtoURL = Chance(30);
    // Now and then the IPv6 address that a line without inbound IPv4 publishes.
    c.settings.NewGlobalIP = Chance(80) ? "203.0.113.5" : Chance(50) ? "2001:db8:e0:5::10" : "192.168.0.2";
    c.settings.NewHostName = Chance(50) ? "host.example.jp" : "";
    c.settings.UploadAll = Chance(10);

    // 0: code page 932, 1: UTF-8, 2: ASCII, 3: code page 932 with broken bytes, 4: UTF-8 with a bad byte.
    const int kind = Pick(10) < 4 ? 0 : Pick(10) < 6 ? 1 : 2 + Pick(3);
    const bool utf8 = kind == 1 || kind == 4;
    const reference::Forms raw = reference::BuildForms(c.settings.ReplaceLink, c.pagePath);
    std::vector<std::string> forms;
    for (int k = 1; k <= 4; ++k) {
        for (const std::string& f : {raw.L[k], raw.R[k]}) {
            if (!f.empty() && f != ":")
                forms.push_back(utf8 ? platform::Cp932ToUtf8(f) : f);
        }
    }

    static const std::array<const char*, 3> kBreaks = {"\r\n", "\n", "\r"};
    const char* usual = kBreaks[static_cast<size_t>(Pick(3))];
    auto lineBreak = [&]() -> std::string {
        return Chance(80) ? usual : kBreaks[static_cast<size_t>(Pick(3))];
    };
    std::string page;
    for (int i = Pick(3); i > 0; --i)
        page += lineBreak();
    if (kind == 2 && Chance(30))
        page += "<meta charset=\"utf-8\">" + lineBreak();
    const int fragments = 3 + Pick(40);
    for (int i = 0; i < fragments; ++i) {
        std::string f = Fragment(forms, utf8, kind == 3);
        if (kind == 2)
            f.erase(std::remove_if(f.begin(), f.end(),
                                   [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; }),
                    f.end());
        page += f;
        if (Chance(25))
            page += lineBreak();
    }
    if (kind == 4)
        page.insert(static_cast<size_t>(Pick(static_cast<int>(page.size()) + 1)), 1, '\xFF');
    if (Chance(70))
        page += lineBreak();
    c.page = page;

    static const std::array<const char8_t*, 4> kJP = {u8"日本語", u8"ホーム", u8"", u8"表"};
    static const std::array<const char*, 3> kEN = {"home", "server", ""};
    for (int i = Pick(4); i > 0; --i)
        c.keywordsJP.push_back(Sjis(kJP[static_cast<size_t>(Pick(kJP.size()))]));
    for (int i = Pick(3); i > 0; --i)
        c.keywordsEN.push_back(kEN[static_cast<size_t>(Pick(kEN.size()))]);
    c.robotNo = Chance(30);
    static const std::array<const char8_t*, 5> kNotices = {
        u8"<p>ただいま休止中です</p>",
        u8"line1\r\nline2",
        u8"x\ny\n",
        u8"",
        u8"<script>alert('ｻｰﾊﾞｰ停止')</script>\r",
    };
    c.closedString = Sjis(kNotices[static_cast<size_t>(Pick(kNotices.size()))]);
    return c;
}

} // namespace randompages
