// The IPv6 choice and the reaction to address changes on a live kernel: in a private user and network
// namespace (`unshare -rn`, no privilege needed) whose loopback device gets the addresses of a real
// IPv6 line: a managed address with its kernel-made temporary sibling (use_tempaddr=2), a deprecated
// one (preferred_lft 0), one with a finite lifetime and a unique-local one. The address published
// stays while it is usable: a renumbering deprecates the old prefix. Nothing leaves the
// namespace: it has no device but its own loopback.
#include "TestPaths.h"
#include "settings/ConfigUnit.h"
#include "support/TempFolder.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <iostream>
#include <map>

using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

namespace {

constexpr int kWaitMs = 120000;

// The addresses of the test line; $1 the program's folder, $2 the output folder, $3 the program.
// Everything the script learns goes to files in the output folder.
constexpr const char* kSetUp = R"(
set -u
home=$1; out=$2; bin=$3
ip link set lo up || exit 71
echo 2 > /proc/sys/net/ipv6/conf/lo/use_tempaddr || exit 72
ip -6 addr add 2001:db8:1::5/64 dev lo mngtmpaddr || exit 73
ip -6 addr add 2001:db8:2::7/64 dev lo valid_lft 300 preferred_lft 0 || exit 73
ip -6 addr add 2001:db8:3::9/64 dev lo valid_lft 900 preferred_lft 600 || exit 73
ip -6 addr add fd00:1::1/64 dev lo || exit 73
# Waits (at most 60 s) until the service's output holds the row $1 at least $2 times.
wait_row() {
    i=0
    while :; do
        n=$(grep -cF -- "$1" "$out/log.txt" 2>/dev/null)
        [ "${n:-0}" -ge "$2" ] && return 0
        i=$((i + 1)); [ $i -gt 600 ] && return 1
        sleep 0.1
    done
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }
)";

constexpr const char* kChoiceScript = R"(
ip -6 -o addr show > "$out/table.txt"
"$bin" --home "$home" find-address --ipv6 > "$out/kernel.txt" 2>&1; echo $? > "$out/rc"
"$bin" --home "$home" find-address --ipv6 --table "$out/table.txt" > "$out/recorded.txt" 2>&1
"$bin" --home "$home" find-address --ipv6 --suffix ::10 > "$out/suffix.txt" 2>&1
"$bin" --home "$home" find-address --ipv6 --interface eth9 > "$out/other.txt" 2>&1; echo $? > "$out/rc-other"
)";

// The service publishes the managed address, then a renumbering brings a new address without expiry
// and deprecates the old one, then the new one is deprecated as well (the one with a finite lifetime
// is left).
constexpr const char* kRenumberScript = R"(
"$bin" --home "$home" --headless > "$out/log.txt" 2> "$out/err.txt" &
pid=$!
wait_row "ｸﾞﾛｰﾊﾞﾙIPが変わりました。2001:db8:1::5" 1 || { kill $pid; exit 81; }
start=$(now_ms)
ip -6 addr add 2001:db8:9::5/64 dev lo
ip -6 addr change 2001:db8:1::5/64 dev lo preferred_lft 0 valid_lft 600
wait_row "ｸﾞﾛｰﾊﾞﾙIPが変わりました。2001:db8:9::5" 1 || { kill $pid; exit 82; }
echo $(($(now_ms) - start)) > "$out/renumbered-ms"
start=$(now_ms)
ip -6 addr change 2001:db8:9::5/64 dev lo preferred_lft 0 valid_lft 600
wait_row "ｸﾞﾛｰﾊﾞﾙIPが変わりました。2001:db8:3::9" 1 || { kill $pid; exit 83; }
echo $(($(now_ms) - start)) > "$out/deprecated-ms"
kill -TERM $pid
wait $pid
echo $? > "$out/rc"
)";

// Two addresses with finite lifetimes (two routers, or SLAAC beside DHCPv6) whose lifetimes are
// refreshed in turn, each refresh giving the refreshed one the longest preferred lifetime. After each
// refresh the script waits for two more checks (every check logs the router page it cannot reach),
// so at least one whole check has read the refreshed table. Then the published one is deprecated.
constexpr const char* kAlternateScript = R"(
ip -6 addr del 2001:db8:1::5/64 dev lo
ip -6 addr add 2001:db8:4::9/64 dev lo valid_lft 900 preferred_lft 500 || exit 73
"$bin" --home "$home" --headless > "$out/log.txt" 2> "$out/err.txt" &
pid=$!
wait_row "ｸﾞﾛｰﾊﾞﾙIPが変わりました。2001:db8:3::9" 1 || { kill $pid; exit 81; }
lifetime=700
for address in 2001:db8:4::9 2001:db8:3::9 2001:db8:4::9 2001:db8:3::9; do
    ip -6 addr change $address/64 dev lo valid_lft $((lifetime + 300)) preferred_lft $lifetime
    lifetime=$((lifetime + 100))
    checks=$(grep -cF "ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした" "$out/log.txt")
    wait_row "ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした" $((checks + 2)) || { kill $pid; exit 82; }
done
ip -6 addr change 2001:db8:3::9/64 dev lo preferred_lft 0 valid_lft 600
wait_row "ｸﾞﾛｰﾊﾞﾙIPが変わりました。2001:db8:4::9" 1 || { kill $pid; exit 83; }
kill -TERM $pid
wait $pid
echo $? > "$out/rc"
)";

bool NetworkNamespacesAvailable()
{
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("-rn"), QStringLiteral("true")});
    return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}

class Ipv6Namespace : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!NetworkNamespacesAvailable())
            GTEST_SKIP() << "user and network namespaces are not available here (`unshare -rn true` failed); "
                            "the live IPv6 tests cannot run on this machine";
    }

    // Runs the set-up and then script in a new namespace; its exit status (-1: it did not end).
    int run(const char* script, const std::map<QString, QString>& env = {})
    {
        QProcess process;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_RUNTIME_DIR"), out.path());
        e.remove(QStringLiteral("QUILLMAP_IPV6_ADDRESSES"));
        for (const auto& [name, value] : env)
            e.insert(name, value);
        process.setProcessEnvironment(e);
        process.start(QStringLiteral("unshare"),
                      {QStringLiteral("-rn"), QStringLiteral("sh"), QStringLiteral("-c"),
                       QString::fromUtf8(kSetUp) + QString::fromUtf8(script), QStringLiteral("sh"),
                       home.path(), out.path(), QStringLiteral(QUILLMAP_BINARY)});
        if (!process.waitForStarted(10000) || !process.waitForFinished(kWaitMs)) {
            process.kill();
            process.waitForFinished(5000);
            return -1;
        }
        m_stderr = process.readAllStandardError().toStdString();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
    std::string file(const char* name) const { return ReadBytes(out.file(QString::fromLatin1(name))); }
    std::vector<std::string> lines(const char* name) const
    {
        std::vector<std::string> result;
        const std::string text = file(name);
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            result.push_back(text.substr(start, end - start));
        return result;
    }
    // Whether the line of address in output says verdict.
    bool says(const char* output, const std::string& address, const std::string& verdict) const
    {
        for (const std::string& line : lines(output))
            if (line.find("  " + address + "  ") != std::string::npos)
                return line.find(verdict) != std::string::npos;
        return false;
    }

    TempFolder home;
    TempFolder out{false};
    std::string m_stderr;
};

} // namespace

TEST_F(Ipv6Namespace, TheKernelsTableGivesTheStableAddressAndTheReasonsForTheRest)
{
    const int status = run(kChoiceScript);
    if (status == 72 || status == 73)
        GTEST_SKIP() << "IPv6 is switched off in this kernel (" << m_stderr << ")";
    ASSERT_EQ(status, 0) << m_stderr;
    const std::string table = file("table.txt");
    // The kernel made a temporary address from the managed one.
    const size_t temporaryLine = table.find(" temporary ");
    ASSERT_NE(temporaryLine, std::string::npos) << table;
    const size_t begin = table.find("inet6 ", table.rfind('\n', temporaryLine) + 1) + 6;
    const std::string temporary = table.substr(begin, table.find('/', begin) - begin);

    EXPECT_EQ(file("rc"), "0\n");
    const std::vector<std::string> kernel = lines("kernel.txt");
    ASSERT_FALSE(kernel.empty());
    EXPECT_EQ(kernel.back(), "結果: 2001:db8:1::5 (lo)") << file("kernel.txt");
    EXPECT_TRUE(says("kernel.txt", "2001:db8:1::5", "採用"));
    EXPECT_TRUE(says("kernel.txt", temporary, "除外 (一時ｱﾄﾞﾚｽ")) << file("kernel.txt");
    EXPECT_TRUE(says("kernel.txt", "2001:db8:2::7", "除外 (非推奨")) << file("kernel.txt");
    EXPECT_TRUE(says("kernel.txt", "2001:db8:3::9", "除外 (有効期限があります")) << file("kernel.txt");
    EXPECT_TRUE(says("kernel.txt", "fd00:1::1", "除外 (ﾕﾆｰｸﾛｰｶﾙ")) << file("kernel.txt");
    EXPECT_TRUE(says("kernel.txt", "::1", "除外 (ﾙｰﾌﾟﾊﾞｯｸ")) << file("kernel.txt");
    // Netlink and iproute2 see the same table: the same addresses in the same order, the same verdicts
    // (only the seconds left may differ by the time between the two reads).
    const std::vector<std::string> recorded = lines("recorded.txt");
    ASSERT_EQ(recorded.size(), kernel.size()) << file("recorded.txt");
    for (size_t i = 0; i < kernel.size(); ++i) {
        const auto head = [](const std::string& line) { return line.substr(0, line.find(" (") + 2); };
        EXPECT_EQ(head(recorded[i]), head(kernel[i]));
    }
    EXPECT_EQ(lines("suffix.txt").back(),
              "結果: 2001:db8:1::10 (lo) ｻﾌｨｯｸｽを2001:db8:1::5のﾌﾟﾚﾌｨｯｸｽ(/64)に付けたｱﾄﾞﾚｽ");
    EXPECT_EQ(file("rc-other"), "1\n");
    EXPECT_EQ(lines("other.txt").back(),
              "結果: 見つかりませんでした。ｲﾝﾀｰﾌｪｲｽ eth9 にIPv6ｱﾄﾞﾚｽがありません。");
}

namespace {

// IPv6 publishing with no router in the namespace, no upload and no mail: the log rows tell what the
// check did. Notices are on (the service's check at start wants uploads or notices) but for no event.
void WithoutRouterUploadOrMail(settings::TConfig& c)
{
    c.Ipv6Use = 1;
    c.GatewayAuto = 0;
    c.GatewayIP = "127.0.0.1:9";
    c.FtpUpload = 0;
    c.MailNotice = 1;
    c.SmtpServer = "127.0.0.1";
    c.MailAddress = "owner@example.test";
    c.NoticeItem = 0;
}

} // namespace

TEST_F(Ipv6Namespace, ARenumberingOrADeprecationStartsACheckWithinSeconds)
{
    settings::TConfig c;
    settings::LoadSettings(c, nullptr);
    WithoutRouterUploadOrMail(c);
    c.Interval = 60; // an hour of real minutes: only the kernel's announcement can start the checks
    c.TimeOut = 1;
    settings::SaveSettings(c, settings::SaveScope::All);

    const int status = run(kRenumberScript);
    if (status == 72 || status == 73)
        GTEST_SKIP() << "IPv6 is switched off in this kernel (" << m_stderr << ")";
    ASSERT_EQ(status, 0) << m_stderr << "\n" << file("log.txt") << file("err.txt");
    EXPECT_EQ(file("rc"), "0\n") << file("err.txt");
    const int renumbered = std::stoi(file("renumbered-ms"));
    const int deprecated = std::stoi(file("deprecated-ms"));
    // The settle time is 1.5 s; the check itself reads nothing but a refused router page.
    EXPECT_LT(renumbered, 10000) << file("log.txt");
    EXPECT_LT(deprecated, 10000) << file("log.txt");
    RecordProperty("renumbered_ms", renumbered);
    RecordProperty("deprecated_ms", deprecated);
    std::cout << "check after renumbering: " << renumbered << " ms, after deprecation: " << deprecated
              << " ms\n";
    settings::TConfig after;
    settings::LoadSettings(after, nullptr);
    EXPECT_EQ(after.PrevIPv6, "2001:db8:3::9");
}

TEST_F(Ipv6Namespace, TwoGoodAddressesRefreshedInTurnDoNotTakeTurnsBeingPublished)
{
    settings::TConfig c;
    settings::LoadSettings(c, nullptr);
    WithoutRouterUploadOrMail(c);
    c.Interval = 1;
    c.TimeOut = 10;
    settings::SaveSettings(c, settings::SaveScope::All);

    const int status = run(kAlternateScript, {{QStringLiteral("QUILLMAP_MINUTE_MS"), QStringLiteral("400")}});
    if (status == 72 || status == 73)
        GTEST_SKIP() << "IPv6 is switched off in this kernel (" << m_stderr << ")";
    ASSERT_EQ(status, 0) << m_stderr << "\n" << file("log.txt") << file("err.txt");
    EXPECT_EQ(file("rc"), "0\n") << file("err.txt");
    // Published once at the start and once when the published address was deprecated, never in between.
    std::vector<std::string> changes;
    for (const std::string& line : lines("log.txt"))
        if (line.find("ｸﾞﾛｰﾊﾞﾙIPが変わりました。") != std::string::npos)
            changes.push_back(line.substr(line.find("ｸﾞﾛｰﾊﾞﾙIP")));
    EXPECT_EQ(changes, (std::vector<std::string>{"ｸﾞﾛｰﾊﾞﾙIPが変わりました。2001:db8:3::9",
                                                 "ｸﾞﾛｰﾊﾞﾙIPが変わりました。2001:db8:4::9"}))
        << file("log.txt");
    settings::TConfig after;
    settings::LoadSettings(after, nullptr);
    EXPECT_EQ(after.PrevIPv6, "2001:db8:4::9");
}
