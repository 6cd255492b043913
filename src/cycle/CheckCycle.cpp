#include "cycle/CheckCycle.h"

#include "core/AddressSearch.h"
#include "core/OperationLog.h"
#include "core/SecondSource.h"
#include "core/Version.h"
#include "core/WebPageReader.h"
#include "netinfo/Ipv6Choice.h"
#include "platform/Codepage.h"
#include "platform/Ipv6AddressWatcher.h"
#include "platform/SingleInstance.h"
#include "platform/UserInterface.h"
#include "settings/ConfigUnit.h"
#include "settings/KeyringPasswords.h"
#include "text/Sjis.h"
#include "text/VB.h"

using text::Sjis;

namespace core {

namespace {

// The notice kinds of the mail sender.
constexpr std::int32_t kNoticeAddressChanged = 0;
constexpr std::int32_t kNoticeUnreachable = 1;
constexpr std::int32_t kNoticeNotFound = 2;
constexpr std::int32_t kNoticeUploadFailed = 3;
constexpr std::int32_t kNoticeDdnsStopped = 4;

// NoticeItem bits.
constexpr std::int32_t kNoticeOnChange = 1;
constexpr std::int32_t kNoticeOnCheckFailure = 2;

// A notice text with the dynamic DNS update's line after it, when there is one.
std::string WithDdnsLine(std::string text, const DynamicDnsStep& ddns)
{
    if (!ddns.MailLine.empty())
        text += "\r\n" + ddns.MailLine;
    return text;
}

// The tray item starts the first check about a second after it is chosen.
constexpr int kQuietStartMs = 1000;

// After the kernel announces an IPv6 address change, the table is read once the burst is over: a new
// prefix brings the stable address, its temporary sibling and the end of duplicate detection within
// about a second.
constexpr int kIpv6SettleMs = 1500;

// The line a notice mail adds when the published IPv6 address moved to another /64 network: the
// router's packet filter opens inbound IPv6 per address, and it may still name the old one.
std::string PrefixChangedLine(const std::string& previous)
{
    return Sjis(u8"IPv6のプレフィックスが変わりました(以前は") + netinfo::Ipv6Prefix64(previous) +
           Sjis(u8"/64)"
                u8"。ルータのIPv6パケットフィルタが古いアドレスを指定したままになっていないか確認してください"
                u8"。");
}

std::string Title()
{
    return kProgramTitle;
}

// Leaves a waiting section when the scope ends, however it ends.
class BusyScope
{
public:
    BusyScope(std::function<void()> enter, std::function<void()> leave) : m_leave(std::move(leave))
    {
        enter();
    }
    ~BusyScope() { m_leave(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    std::function<void()> m_leave;
};

} // namespace

// The user interface the network steps get: everything goes to the real one, and status texts (the
// upload runs' progress) also become the view's status text.
class CheckCycle::RoutedUserInterface final : public platform::UserInterface
{
public:
    explicit RoutedUserInterface(CheckCycle& cycle) : m_cycle(cycle) {}

    void ShowWarning(const std::string& text, const std::string& caption) override
    {
        m_cycle.m_ui.ShowWarning(text, caption);
    }
    void ShowInformation(const std::string& text, const std::string& caption) override
    {
        m_cycle.m_ui.ShowInformation(text, caption);
    }
    void ShowMessage(const std::string& text, const std::string& caption) override
    {
        m_cycle.m_ui.ShowMessage(text, caption);
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override
    {
        return m_cycle.m_ui.AskYesNo(text, caption);
    }
    void SetStatusText(const std::string& text) override { m_cycle.SetStatus(text); }
    bool OpenDocument(const std::string& path) override { return m_cycle.m_ui.OpenDocument(path); }
    // Monitoring is the cycle's own business; the steps have nothing to say about it.
    void SetMonitoring(bool) override {}

private:
    CheckCycle& m_cycle;
};

int MinuteMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("QUILLMAP_MINUTE_MS", &ok);
    return ok && ms > 0 ? ms : 60000;
}

CheckCycle::CheckCycle(OperationLog& log, platform::UserInterface& ui, StepsFactory factory, QObject* parent)
    : QObject(parent), m_log(log), m_ui(ui), m_routedUi(std::make_unique<RoutedUserInterface>(*this)),
      m_factory(std::move(factory))
{
    m_view = ComputeView();
    m_timerCheck.setInterval(MinuteMs());
    m_timerAbort.setInterval(MinuteMs());
    connect(&m_timerCheck, &QTimer::timeout, this, &CheckCycle::TimerCheckTimer);
    connect(&m_timerAbort, &QTimer::timeout, this, &CheckCycle::TimerAbortTimer);
    m_ipv6Settle.setSingleShot(true);
    m_ipv6Settle.setInterval(kIpv6SettleMs);
    connect(&m_ipv6Settle, &QTimer::timeout, this, &CheckCycle::Ipv6AddressesSettled);
}

CheckCycle::~CheckCycle() = default;

bool CheckCycle::FormCreate()
{
    m_quietStart = true;
    m_state.ClosingDone = false;
    SetStatusHtml({});

    m_state.Settings = std::make_unique<settings::TConfig>();
    settings::LoadSettings(*m_state.Settings, &m_ui);
    const settings::TConfig& s = *m_state.Settings;

    m_instance = std::make_unique<platform::SingleInstance>(QString::fromLatin1(kProgramTitle), m_lockFolder);
    if (!m_instance->acquire() && m_instance->alreadyRunning() && s.LeavePlural == 0) {
        // This copy ends at once: no monitoring, no closing run, nothing saved.
        m_ui.ShowWarning(Sjis(u8"「Quillmap」はすでに起動しています。"), Title());
        m_closed = true;
        Publish();
        return false;
    }

    m_steps = m_factory(CycleMediator{m_state, m_log, *m_routedUi, [this] { m_timerAbort.stop(); }});
    // Heard whatever the settings say, since the settings dialog may switch IPv6 on later. Without
    // the kernel's announcements the interval still finds every change.
    m_ipv6Watcher = std::make_unique<platform::Ipv6AddressWatcher>();
    connect(m_ipv6Watcher.get(), &platform::Ipv6AddressWatcher::addressesChanged, this,
            &CheckCycle::Ipv6AddressesChanged);

    m_state.chkRecLog = s.RecLog != 0;
    m_state.chkClosedEnabled = s.ClosedUse != 0;
    m_state.chkClosed = s.ClosedUse != 0;
    m_state.chkShowWindow = s.ShowWindow == 0;
    m_log.SetLogRowMax(s.LogRowMax);
    m_log.SetRecLog(m_state.chkRecLog);
    m_ui.SetMonitoring(false);
    Publish();

    if (s.AutoRun != 0) {
        m_state.chkAutoRun = true;
        cmdStartChkClick();
    }
    m_quietStart = false;
    return true;
}

CycleView CheckCycle::ComputeView() const
{
    CycleView view;
    view.Monitoring = m_monitoring;
    view.Caption = m_monitoring ? std::string(kProgramTitle) + Sjis(u8" (実行中)") : Title();
    view.RunCaption = Sjis(m_monitoring ? u8"停止(&E)" : u8"実行(&E)");
    view.RunEnabled = m_buttonsEnabled && !m_settingsLent && !m_closed;
    view.BrowseEnabled = view.RunEnabled;
    // The settings stay with the cycle while monitoring (the check timer may start a check at any
    // tick) and while anything waits for the network.
    view.SettingsEnabled = !m_monitoring && m_busy == 0 && !m_settingsLent && !m_closeRequested &&
                           !m_closed && m_state.Settings != nullptr;
    view.CheckRunning = m_busy > 0;
    view.SettingsLent = m_settingsLent;
    view.StatusText = m_status;
    view.ClosingUploadEnabled = m_state.chkClosedEnabled;
    view.ClosingUpload = m_state.chkClosed;
    view.Closed = m_closed;
    view.StatusPage = m_statusPage;
    view.RecLog = m_state.chkRecLog;
    view.HideAtStart = m_state.chkShowWindow;
    view.AutoRun = m_state.chkAutoRun;
    return view;
}

void CheckCycle::Publish()
{
    CycleView view = ComputeView();
    if (view == m_view)
        return;
    m_view = std::move(view);
    emit viewChanged(m_view);
}

void CheckCycle::SetStatus(const std::string& text)
{
    m_ui.SetStatusText(text);
    m_status = text;
    Publish();
}

void CheckCycle::SetStatusHtml(std::string html)
{
    m_state.StatusHtml = std::move(html);
    m_statusPage = std::make_shared<const std::string>(m_state.StatusHtml);
    Publish();
}

void CheckCycle::SetRecLog(bool on)
{
    m_state.chkRecLog = on;
    m_log.SetRecLog(on);
    Publish();
}

void CheckCycle::SetHideAtStart(bool on)
{
    m_state.chkShowWindow = on;
    Publish();
}

void CheckCycle::SetAutoRun(bool on)
{
    m_state.chkAutoRun = on;
    Publish();
}

bool CheckCycle::FetchStatusPageForSettings()
{
    if (!m_settingsLent || !m_state.Settings || !m_steps || Closing() || m_busy > 0)
        return false;
    {
        BusyScope busy([this] { EnterBusy(); }, [this] { LeaveBusy(); });
        SetStatus(Sjis(u8"ｽﾃｰﾀｽ表示中..."));
        SetStatusHtml(m_steps->FetchStatusPage());
        SetStatus({});
    }
    return !m_state.StatusHtml.empty() && !Closing();
}

void CheckCycle::SetButtons(bool enabled)
{
    m_buttonsEnabled = enabled;
    Publish();
}

void CheckCycle::SetMonitoring(bool on)
{
    if (on == m_monitoring)
        return;
    m_monitoring = on;
    m_ui.SetMonitoring(on);
    Publish();
}

void CheckCycle::EnterBusy()
{
    ++m_busy;
    Publish();
}

void CheckCycle::TimerCheckTimer()
{
    if (!m_state.Settings || Closing())
        return;
    if (m_readBack.pending) {
        // The published page's second try, a minute after the first.
        m_timerCheck.stop();
        SetButtons(false);
        {
            BusyScope busy([this] { EnterBusy(); }, [this] { LeaveBusy(); });
            ArmAbortTimer(true);
            ReadBackPublishedPage(true);
            m_readBack.pending = false;
            ArmAbortTimer(false);
        }
        SetButtons(true);
        if (!m_monitoring || Closing() || !m_state.Settings)
            return;
        m_timerCheck.start();
    }
    ++m_checkMinutes;
    if (m_checkMinutes < m_state.Settings->Interval)
        return;
    RunCheckNow();
}

void CheckCycle::cmdStartChkClick()
{
    if (m_steps && m_steps->Navigating())
        m_steps->CancelNavigation();

    if (m_monitoring) {
        m_timerCheck.stop();
        SetMonitoring(false);
        m_readBack.pending = false;
        return;
    }
    // The settings dialog holds the settings: no start until it gives them back.
    if (!m_state.Settings || Closing() || m_settingsLent || !CheckSettingsReady())
        return;

    m_checkMinutes = 0;
    m_state.UploadAll = false;
    m_buttonsEnabled = false;
    SetMonitoring(true);

    if (m_quietStart) {
        m_checkMinutes = m_state.Settings->Interval;
        m_timerCheck.start();
    } else {
        BusyScope busy([this] { EnterBusy(); }, [this] { LeaveBusy(); });
        settings::TConfig& s = *m_state.Settings;
        // Publishing over IPv6, the address to compare is this machine's IPv6 address.
        std::string& previous = s.Ipv6Use != 0 ? s.PrevIPv6 : s.PrevIP;
        bool runNow = previous.empty();
        if (!runNow) {
            SetStatusHtml(m_steps->FetchStatusPage());
            if (Closing())
                return;
            const std::string found =
                s.Ipv6Use != 0 ? ChooseIpv6().address : FindGlobalAddress(m_state.StatusHtml, s);
            if (s.Ipv6Use != 0)
                m_lastIpv6 = found;
            if (found != previous) {
                previous.clear();
                runNow = true;
            } else if (m_ui.AskYesNo(Sjis(u8"前回実行した時のｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ(") + previous + ")\r\n" +
                                         Sjis(u8"と同じですが最初に一度実行しますか？"),
                                     Title())) {
                previous.clear();
                runNow = true;
            }
        }
        if (runNow && !Closing()) {
            if (s.FtpUpload != 0 &&
                m_ui.AskYesNo(Sjis(u8"最初にｱｯﾌﾟﾛｰﾄﾞﾌｫﾙﾀﾞの全てのﾌｧｲﾙをｱｯﾌﾟﾛｰﾄﾞしますか？"), Title()))
                m_state.UploadAll = true;
            ArmAbortTimer(true);
            RunCheck();
            ArmAbortTimer(false);
            m_state.UploadAll = false;
        }
        if (m_monitoring && !Closing())
            m_timerCheck.start();
    }
    SetButtons(true);
}

void CheckCycle::mnuStartChkClick()
{
    if (m_settingsLent)
        return;
    if (!m_monitoring) {
        m_quietStart = true;
        m_timerCheck.setInterval(kQuietStartMs);
    }
    cmdStartChkClick();
    m_quietStart = false;
}

bool CheckCycle::CheckSettingsReady()
{
    settings::TConfig& s = *m_state.Settings;
    // Passwords kept in the keyring that it could not give at start are asked for again (it may have
    // been unlocked since); monitoring without them would only fail at every log-on.
    if (s.Keyring && s.KeyringUnread) {
        settings::ReadKeyringPasswords(s);
        if (const std::string missing = settings::MissingKeyringPasswords(s); !missing.empty()) {
            m_ui.ShowWarning(missing, Title());
            return false;
        }
    }
    std::u8string_view message;
    if (s.GlobalIPAuto == 0 && s.GlobalIPKey.empty())
        message = u8"ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽの検索キーが未設定です。";
    else if (s.FtpUpload == 0)
        return true;
    else if (s.FtpServer.empty())
        message = u8"FTPｻｰﾊﾞｰが未設定です。";
    else if (s.ReplaceFolder.empty())
        message = u8"ｱｯﾌﾟﾛｰﾄﾞするHTMLﾌｧｲﾙのﾌｫﾙﾀﾞが未設定です。";
    else if (!text::FolderExists(s.ReplaceFolder))
        message = u8"ｱｯﾌﾟﾛｰﾄﾞするHTMLﾌｧｲﾙのﾌｫﾙﾀﾞが見つかりません。";
    else if (s.ReplaceLink.empty())
        message = u8"差し換えるﾘﾝｸが未設定です。";
    else
        return true;
    m_ui.ShowWarning(Sjis(message), Title());
    return false;
}

void CheckCycle::RunCheck()
{
    const Finding found = FindAddress();
    if (found.outcome == Finding::kCheckEnded)
        return;
    if (found.outcome == Finding::kFound) {
        const bool goesOn = m_state.NewGlobalIP != PublishedAddress() ? PublishChange(found.addressForA)
                                                                      : RefreshHostNames(found.addressForA);
        if (!goesOn)
            return;
    }
    m_checkMinutes = 0;
    SetStatus({});
}

std::string& CheckCycle::PublishedAddress()
{
    // The address the pages on the server hold; the other mode's address is not in them.
    settings::TConfig& s = *m_state.Settings;
    return s.Ipv6Use != 0 ? s.PrevIPv6 : s.PrevIP;
}

CheckCycle::Finding CheckCycle::FindAddress()
{
    const settings::TConfig& s = *m_state.Settings;
    SetStatus(Sjis(u8"ｽﾃｰﾀｽﾁｪｯｸ中..."));
    SetStatusHtml(m_steps->FetchStatusPage());
    // A second try only while the check still has time: after the abort timer it would start a
    // wait that nothing ends any more.
    if (m_state.StatusHtml.empty() && MayStartNetworkStep())
        SetStatusHtml(m_steps->FetchStatusPage());
    if (Closing())
        return {};
    const bool overIpv6 = s.Ipv6Use != 0;
    if (m_state.StatusHtml.empty()) {
        const std::string t1 = Sjis(u8"ルータのステータスページにアクセスできませんでした。");
        m_log.AddLog(text::StrConvMap(t1, text::kMapHalfWidth), lkRunFailure);
        // Over IPv6 the page only tells the router's IPv4 address; the address published is this
        // machine's, so the check goes on.
        if (!overIpv6) {
            if (s.NoticeItem & kNoticeOnCheckFailure)
                m_steps->SendNoticeMail(kNoticeUnreachable, t1);
            // CheckMinutes stays: a timed check is repeated at the next tick until the page is reached.
            SetStatus({});
            return {};
        }
    }

    SetStatus(Sjis(u8"ｸﾞﾛｰﾊﾞﾙIP検索中..."));
    m_state.NewGlobalIP.clear();
    AddressSearchLog searchLog;
    if (s.GlobalIPAuto != 0)
        m_state.NewGlobalIP = SearchAddressAuto(m_state.StatusHtml, &searchLog);
    else if (!s.GlobalIPKey.empty())
        m_state.NewGlobalIP = SearchAddressAfterKey(m_state.StatusHtml, s.GlobalIPKey, &searchLog);
    SetStatus({});
    return overIpv6 ? FindAddressOverIpv6() : FindAddressOverIpv4(searchLog);
}

CheckCycle::Finding CheckCycle::FindAddressOverIpv4(const AddressSearchLog& searchLog)
{
    ConsultSecondSource();
    if (Closing())
        return {};
    if (!m_state.NewGlobalIP.empty())
        return {Finding::kFound, m_state.NewGlobalIP};
    const settings::TConfig& s = *m_state.Settings;
    const std::string t2 = Sjis(u8"グローバルIPが見つかりませんでした。");
    m_log.AddLog(text::StrConvMap(t2, text::kMapHalfWidth), lkRunFailure);
    // A router behind carrier-grade NAT shows an address all the same: say which, and why it
    // cannot be published.
    const std::string note = UnusableAddressNote(searchLog);
    if (!note.empty())
        m_log.AddLog(note, lkRunFailure);
    // A page that shows no address at all but holds scripts may be one that its scripts fill.
    else if (m_steps->StatusPageMayNeedEngine())
        m_log.AddLog(Sjis(u8"ｽﾃｰﾀｽﾍﾟｰｼﾞにｽｸﾘﾌﾟﾄがあります。ｽｸﾘﾌﾟﾄがｱﾄﾞﾚｽを書くﾙｰﾀなら、設定の"
                          u8"｢ﾌﾞﾗｳｻﾞｴﾝｼﾞﾝ使用｣を試してください。"),
                     lkRunFailure);
    if (s.NoticeItem & kNoticeOnCheckFailure)
        m_steps->SendNoticeMail(kNoticeNotFound, note.empty() ? t2 : t2 + "\r\n" + note);
    return {Finding::kNotFound, {}};
}

CheckCycle::Finding CheckCycle::FindAddressOverIpv6()
{
    // The search's address is the router's IPv4 address, which only the A record uses. The second
    // source only stands in for a missing IPv4 address, which is no loss here.
    const std::string routerIpv4 = m_state.NewGlobalIP;
    if (!m_state.StatusHtml.empty())
        NoteRouterIpv4(routerIpv4);
    if (!FindIpv6Address())
        return {Finding::kNotFound, {}};
    if (Closing())
        return {};
    return {Finding::kFound, routerIpv4};
}

bool CheckCycle::PublishChange(const std::string& addressForA)
{
    const std::string ip = m_state.NewGlobalIP;
    const std::string prefixLine = NoteAddressChanged(ip);
    // The host names follow first: a name is quicker to change than pages to upload.
    const DynamicDnsStep ddns = UpdateDynamicDns(addressForA);
    if (Closing())
        return false;
    const std::optional<PagesOutcome> pages = PublishPages(ip);
    if (!pages)
        return false;
    const bool mailed = TellChange(*pages, ip, prefixLine, ddns);
    if (*pages != PagesOutcome::kFailed) {
        PublishedAddress() = ip;
        (m_state.Settings->Ipv6Use != 0 ? m_state.Settings->PrevIP : m_state.Settings->PrevIPv6).clear();
    }
    // The published page is read back once the change is told: a web space may take a while.
    if (*pages == PagesOutcome::kUploaded && !m_state.Settings->FtpCheckURL.empty()) {
        m_readBack = {true, m_state.NewHostName.empty() ? ip : m_state.NewHostName, ip};
        ReadBackPublishedPage(false);
        if (Closing())
            return false;
    }
    if (ddns.StoppedNow && !mailed)
        m_steps->SendNoticeMail(kNoticeDdnsStopped, ddns.MailLine);
    SetStatus({});
    return true;
}

std::string CheckCycle::NoteAddressChanged(const std::string& ip)
{
    const std::string& previous = PublishedAddress();
    m_log.AddLog(Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPが変わりました。") + ip, lkEvent);
    // Only IPv6 addresses have a /64 network that can change.
    if (!netinfo::Ipv6PrefixChanged(previous, ip))
        return {};
    m_log.AddLog(Sjis(u8"IPv6のﾌﾟﾚﾌｨｯｸｽが変わりました(以前は") + netinfo::Ipv6Prefix64(previous) +
                     Sjis(u8"/64)。ﾙｰﾀのIPv6ﾊﾟｹｯﾄﾌｨﾙﾀを確認してください。"),
                 lkEvent);
    return "\r\n" + PrefixChangedLine(previous);
}

std::optional<CheckCycle::PagesOutcome> CheckCycle::PublishPages(const std::string& ip)
{
    const settings::TConfig& s = *m_state.Settings;
    if (s.FtpUpload == 0)
        return PagesOutcome::kNotUploading;
    m_state.NewHostName.clear();
    if (s.IPtoURL != 0 && MayStartNetworkStep()) {
        SetStatus(Sjis(u8"URL検索中..."));
        m_state.NewHostName = m_steps->LookupHostName(ip);
    }
    if (Closing())
        return std::nullopt;
    // Once the time is up the upload does not start; it counts as failed, so the next check sees
    // the change again.
    bool uploaded = false;
    if (MayStartNetworkStep()) {
        SetStatus(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中..."));
        uploaded = m_steps->UploadPages(false);
    }
    if (Closing())
        return std::nullopt;
    return uploaded ? PagesOutcome::kUploaded : PagesOutcome::kFailed;
}

bool CheckCycle::TellChange(PagesOutcome pages, const std::string& ip, const std::string& prefixLine,
                            const DynamicDnsStep& ddns)
{
    const settings::TConfig& s = *m_state.Settings;
    if (pages == PagesOutcome::kNotUploading) {
        // Without pages the notice is the whole publication: it goes whatever NoticeItem says.
        SetStatus(Sjis(u8"ﾒｰﾙ送信中..."));
        m_steps->SendNoticeMail(
            kNoticeAddressChanged,
            WithDdnsLine(Sjis(u8"グローバルIPが変わりました") + "\r\n" + ip + prefixLine, ddns));
        return true;
    }
    const bool uploaded = pages == PagesOutcome::kUploaded;
    if (uploaded)
        m_log.AddLog(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ完了しました。"), lkEvent);
    else
        m_log.AddLog(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞに失敗しました。"), lkRunFailure);
    if (!(s.NoticeItem & kNoticeOnChange))
        return false;
    SetStatus(Sjis(u8"ﾒｰﾙ送信中..."));
    // After a failed upload the previous address stays, so the next check sees the change again and
    // uploads once more.
    const std::string text = uploaded ? Sjis(u8"グローバルIPが変わりました(") + ip +
                                            Sjis(u8")、ホームページを更新しました。") + prefixLine
                                      : Sjis(u8"グローバルIPが変わりましたが(") + ip +
                                            Sjis(u8")、ホームページの更新に失敗しました。") + prefixLine;
    m_steps->SendNoticeMail(uploaded ? kNoticeAddressChanged : kNoticeUploadFailed, WithDdnsLine(text, ddns));
    return true;
}

bool CheckCycle::RefreshHostNames(const std::string& addressForA)
{
    // The same address: the host names may still be due for a refresh or a retry.
    const DynamicDnsStep ddns = UpdateDynamicDns(addressForA);
    if (Closing())
        return false;
    if (ddns.StoppedNow)
        m_steps->SendNoticeMail(kNoticeDdnsStopped, ddns.MailLine);
    return true;
}

netinfo::Ipv6Choice CheckCycle::ChooseIpv6()
{
    const settings::TConfig& s = *m_state.Settings;
    // The published address stays while it is usable: two good addresses whose lifetimes are
    // refreshed at different moments would otherwise take turns, each turn a new publication.
    return m_steps->ChooseIpv6Address(platform::Cp932ToUtf8(s.Ipv6Interface), s.Ipv6Suffix, s.PrevIPv6);
}

bool CheckCycle::FindIpv6Address()
{
    const settings::TConfig& s = *m_state.Settings;
    SetStatus(Sjis(u8"IPv6ｱﾄﾞﾚｽ確認中..."));
    const netinfo::Ipv6Choice choice = ChooseIpv6();
    SetStatus({});
    m_lastIpv6 = choice.address;
    m_state.NewGlobalIP = choice.address;
    if (!choice.address.empty())
        return true;
    const std::string t2 = Sjis(u8"IPv6のグローバルアドレスが見つかりませんでした。");
    m_log.AddLog(text::StrConvMap(t2, text::kMapHalfWidth), lkRunFailure);
    if (!choice.error.empty())
        m_log.AddLog(choice.error, lkRunFailure);
    if (s.NoticeItem & kNoticeOnCheckFailure)
        m_steps->SendNoticeMail(kNoticeNotFound, choice.error.empty() ? t2 : t2 + "\r\n" + choice.error);
    return false;
}

void CheckCycle::NoteRouterIpv4(const std::string& address)
{
    // Logged only when it changes: a shared or missing IPv4 address is what such a line has.
    const std::string note = address.empty()
                                 ? Sjis(u8"ｽﾃｰﾀｽﾍﾟｰｼﾞにIPv4のｸﾞﾛｰﾊﾞﾙIPはありません(IPv6で公開します)。")
                                 : Sjis(u8"ﾙｰﾀのIPv4ｱﾄﾞﾚｽ: ") + address;
    if (note == m_routerIpv4Note)
        return;
    m_routerIpv4Note = note;
    m_log.AddLog(note, lkEvent);
}

void CheckCycle::Ipv6AddressesChanged()
{
    if (!m_state.Settings || m_state.Settings->Ipv6Use == 0 || !m_monitoring || Closing())
        return;
    m_ipv6Settle.start();
}

void CheckCycle::Ipv6AddressesSettled()
{
    if (!m_state.Settings || m_state.Settings->Ipv6Use == 0 || !m_monitoring || Closing() || m_settingsLent)
        return;
    // A check (or another wait) is under way: look again once it is over.
    if (m_busy > 0) {
        m_ipv6Settle.start();
        return;
    }
    const std::string chosen = ChooseIpv6().address;
    if (chosen == m_lastIpv6)
        return;
    m_lastIpv6 = chosen;
    RunCheckNow();
}

void CheckCycle::RunCheckNow()
{
    m_timerCheck.stop();
    SetButtons(false);
    {
        BusyScope busy([this] { EnterBusy(); }, [this] { LeaveBusy(); });
        ArmAbortTimer(true);
        RunCheck();
        ArmAbortTimer(false);
        m_timerCheck.setInterval(MinuteMs());
        // A stop chosen from the tray during the check holds: the timer stays off then.
        if (m_monitoring && !Closing())
            m_timerCheck.start();
    }
    SetButtons(true);
}

DynamicDnsStep CheckCycle::UpdateDynamicDns(const std::string& address)
{
    if (!MayStartNetworkStep())
        return {};
    SetStatus(Sjis(u8"DDNS更新中..."));
    const DynamicDnsStep step = m_steps->UpdateDynamicDns(address);
    SetStatus({});
    return step;
}

void CheckCycle::ConsultSecondSource()
{
    const SecondSourceKind kind = SecondSourceOf(*m_state.Settings);
    if (kind == kSourceNone || !MayStartNetworkStep()) {
        m_sourcesNote.clear();
        return;
    }
    SetStatus(Sjis(u8"ｸﾞﾛｰﾊﾞﾙIP確認中..."));
    const std::string second = m_steps->FetchSecondAddress();
    SetStatus({});
    std::string& ip = m_state.NewGlobalIP;
    if (second.empty() || second == ip) {
        m_sourcesNote.clear();
        return;
    }
    const std::string name = SecondSourceName(kind);
    if (ip.empty()) {
        ip = second;
        NoteSources(Sjis(u8"ｽﾃｰﾀｽﾍﾟｰｼﾞにｸﾞﾛｰﾊﾞﾙIPがないため、") + name + Sjis(u8"のｱﾄﾞﾚｽを使います。") +
                        second,
                    lkEvent);
        return;
    }
    // The router's page is what the user chose and checked; the other source only raises a doubt.
    NoteSources(Sjis(u8"ｽﾃｰﾀｽﾍﾟｰｼﾞのｱﾄﾞﾚｽ(") + ip + Sjis(u8")と") + name + Sjis(u8"のｱﾄﾞﾚｽ(") + second +
                    Sjis(u8")が違います。ｽﾃｰﾀｽﾍﾟｰｼﾞのｱﾄﾞﾚｽを使います。"),
                lkRunFailure);
}

void CheckCycle::NoteSources(const std::string& text, LogKind kind)
{
    if (text == m_sourcesNote)
        return;
    m_sourcesNote = text;
    m_log.AddLog(text, kind);
}

void CheckCycle::ReadBackPublishedPage(bool retry)
{
    if (!MayStartNetworkStep())
        return; // the retry (or, after a retry, nothing) follows at the next tick
    SetStatus(Sjis(u8"公開ﾍﾟｰｼﾞ確認中..."));
    const std::string page = m_steps->FetchPublishedPage();
    SetStatus({});
    if (Closing())
        return;
    const std::string& needle = m_readBack.needle;
    if (PageShowsAddress(page, needle)) {
        m_readBack.pending = false;
        m_log.AddLog(Sjis(u8"公開ﾍﾟｰｼﾞに新しいｱﾄﾞﾚｽがあることを確認しました。") + needle, lkEvent);
        return;
    }
    const std::string missing = page.empty()
                                    ? Sjis(u8"公開ﾍﾟｰｼﾞを読めませんでした。")
                                    : Sjis(u8"公開ﾍﾟｰｼﾞに新しいｱﾄﾞﾚｽ(") + needle + Sjis(u8")がありません。");
    if (!retry) {
        // Web spaces may serve a cached copy for a while.
        m_log.AddLog(missing + Sjis(u8"1分後にもう一度確認します。"), lkRunFailure);
        return;
    }
    m_readBack.pending = false;
    m_log.AddLog(missing + Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞしたﾍﾟｰｼﾞが公開されていません。"), lkRunFailure);
    const settings::TConfig& s = *m_state.Settings;
    if (s.NoticeItem & kNoticeOnChange) {
        SetStatus(Sjis(u8"ﾒｰﾙ送信中..."));
        m_steps->SendNoticeMail(kNoticeUploadFailed,
                                Sjis(u8"グローバルIPが変わりましたが(") + m_readBack.address +
                                    Sjis(u8")、公開されているホームページに新しいアドレスがありません。") +
                                    "\r\n" + s.FtpCheckURL);
        SetStatus({});
    }
}

void CheckCycle::ArmAbortTimer(bool on)
{
    m_abortMinutes = 0;
    m_abortFired = false;
    if (on) {
        m_timerAbort.setInterval(MinuteMs());
        m_timerAbort.start();
    } else {
        m_timerAbort.stop();
    }
}

void CheckCycle::TimerAbortTimer()
{
    if (!m_state.Settings)
        return;
    ++m_abortMinutes;
    if (m_abortMinutes < m_state.Settings->TimeOut)
        return;
    m_timerAbort.stop();
    m_abortFired = true;
    std::string text = Sjis(u8"ﾀｲﾑｱｳﾄにより切断します");
    // An upload cut at the same file at every check never completes: the count tells the user
    // that the time-out is too short for the site.
    if (m_state.UploadFilesTotal > 0)
        text += " (" + std::to_string(m_state.UploadFilesTotal) + Sjis(u8"ﾌｧｲﾙ中") +
                std::to_string(m_state.UploadFilesSent) + Sjis(u8"ﾌｧｲﾙ送信済み)");
    m_log.AddLog(text, lkRunFailure);
    if (m_steps)
        m_steps->AbortNetwork();
}

void CheckCycle::cmdBrowseClick()
{
    if (!m_state.Settings || Closing() || m_settingsLent)
        return;
    const bool timerWasOn = m_timerCheck.isActive();
    m_timerCheck.stop();
    SetButtons(false);
    {
        BusyScope busy([this] { EnterBusy(); }, [this] { LeaveBusy(); });
        SetStatus(Sjis(u8"ｽﾃｰﾀｽ表示中..."));
        SetStatusHtml(m_steps->FetchStatusPage());
        SetStatus({});
        if (timerWasOn && !Closing())
            m_timerCheck.start();
    }
    SetButtons(true);
}

void CheckCycle::FormCloseQuery()
{
    m_timerCheck.stop();
    m_timerAbort.stop();
    if (m_closed || m_closeRequested)
        return;
    m_closeRequested = true;
    Publish();
    if (m_busy > 0) {
        // A check is waiting somewhere below us: end its network steps; the closing run follows
        // once it has unwound (LeaveBusy), so nothing uses the settings after their release.
        if (m_steps)
            m_steps->AbortNetwork();
        return;
    }
    // The settings dialog still holds the settings: the closing run releases them, so it follows
    // when the dialog gives them back.
    if (m_settingsLent)
        return;
    RunClosing();
}

void CheckCycle::EndSession()
{
    FormCloseQuery();
}

void CheckCycle::LeaveBusy()
{
    --m_busy;
    Publish();
    if (m_busy == 0 && m_closeRequested && !m_closed && !m_settingsLent)
        RunClosing();
}

settings::TConfig* CheckCycle::LendSettings()
{
    if (!m_view.SettingsEnabled)
        return nullptr;
    // A page load in progress is cancelled, as the run button does.
    if (m_steps && m_steps->Navigating())
        m_steps->CancelNavigation();
    m_settingsLent = true;
    Publish();
    return m_state.Settings.get();
}

void CheckCycle::ReturnSettings(bool saved)
{
    if (!m_settingsLent)
        return;
    m_settingsLent = false;
    if (saved && m_state.Settings) {
        // The closing upload can only run when uploading is on at all.
        const settings::TConfig& s = *m_state.Settings;
        m_state.chkClosedEnabled = s.ClosedUse != 0 && s.FtpUpload != 0;
        m_state.chkClosed = m_state.chkClosedEnabled;
    }
    Publish();
    if (m_closeRequested && m_busy == 0 && !m_closed)
        RunClosing();
}

void CheckCycle::SetClosingUpload(bool ticked)
{
    if (!m_state.chkClosedEnabled || m_closed)
        return;
    m_state.chkClosed = ticked;
    Publish();
}

void CheckCycle::RunClosing()
{
    if (m_closed)
        return;
    SetMonitoring(false);
    if (m_steps)
        m_steps->RunClosingUpload();
    m_closed = true;
    Publish();
    emit closed(!m_state.SettingsSaveFailed);
}

std::optional<QRect> CheckCycle::WindowPlacement() const
{
    const settings::TConfig* s = m_state.Settings.get();
    if (!s || s->WindowWidth <= 0 || s->WindowHeight <= 0)
        return std::nullopt;
    return QRect(s->WindowLeft, s->WindowTop, s->WindowWidth, s->WindowHeight);
}

void CheckCycle::SetWindowPlacement(const QRect& placement)
{
    // Once the closing run has begun the settings are on their way to the file (or gone).
    if (!m_state.Settings || Closing() || m_closed || placement.width() <= 0 || placement.height() <= 0)
        return;
    m_state.Settings->WindowLeft = placement.x();
    m_state.Settings->WindowTop = placement.y();
    m_state.Settings->WindowWidth = placement.width();
    m_state.Settings->WindowHeight = placement.height();
}

void CheckCycle::StopNavigation()
{
    if (m_steps && m_steps->Navigating())
        m_steps->CancelNavigation();
}

} // namespace core
