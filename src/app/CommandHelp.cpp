// The --help text of every command: its usage, options and examples, as the manual page has them.
#include "app/CommandHelp.h"

#include <cstring>

namespace app {

namespace {

struct Help
{
    const char* name;
    const char* text;
};

constexpr Help kHelp[] = {
    {"ddns-update", R"(Usage: quillmap ddns-update [--force] [--dry-run] [--address A]...

Bring the dynamic DNS host names of the settings ([DDNS]) to the current address and print the
provider's answer, one line per host and record.

Options:
  --address A   the address to send (once for IPv4, once for IPv6) instead of the one a check finds
  --force       send even an address the provider already has
  --dry-run     print what would be sent and send nothing

Exit status: 0 when every record is up to date afterwards, 1 otherwise, 2 for wrong arguments.

Examples:
  quillmap ddns-update --dry-run
  quillmap ddns-update --address 203.0.113.7 --force
)"},
    {"fetch-status", R"(Usage: quillmap fetch-status [--engine | --http] [--timeout SECONDS]

Fetch the router's status page with the settings and print its body markup (Shift_JIS bytes, as the
address search sees them).

Options:
  --engine           load the page in the browser engine (its scripts run unless Status.NoScript)
  --http             load it with the HTTP client
  --timeout SECONDS  give up after SECONDS (default: the check's time-out of the settings)

Examples:
  quillmap fetch-status > status.html
  quillmap fetch-status --engine --timeout 30
)"},
    {"find-address", R"(Usage: quillmap find-address [--key TEXT] [--explain] FILE
       quillmap find-address --ipv6 [--interface NAME] [--suffix ID] [--table FILE]

Print the global address found in FILE, a status page saved from the router; with --ipv6, the IPv6
address of this machine that publishing over IPv6 would put in the links.

Options:
  --key TEXT        search after the first occurrence of TEXT instead of automatically
  --explain         print every candidate with its position and why it was taken or passed over
  --ipv6            this machine's IPv6 addresses instead of a page
  --interface NAME  stands in for the settings' IPv6.Interface
  --suffix ID       stands in for the settings' IPv6.Suffix (an interface identifier such as ::10)
  --table FILE      read a recorded `ip -6 -o addr show` output instead of the kernel's table

Examples:
  quillmap fetch-status > status.html && quillmap find-address --explain status.html
  quillmap find-address --ipv6 --suffix ::10
)"},
    {"log", R"(Usage: quillmap log --open | --delete

Options:
  --open    open the log file Log.txt of the program's folder with the desktop's handler
  --delete  delete it

Example:
  quillmap log --delete
)"},
    {"rewrite", R"(Usage: quillmap rewrite PAGE --address A [--host-name H] [--closing] [--all]

Print the copy of PAGE that the upload run would publish for the address A, byte for byte, without
uploading anything.

Options:
  --address A     the new global address
  --host-name H   the host name of the new address (for Config.IPtoURL)
  --closing       the closing copy (links disabled, the notice inserted)
  --all           make the copy even when no link was replaced

Exit status: 0 with the copy printed, 1 when the page would not be uploaded, 2 for wrong arguments.

Example:
  quillmap rewrite ~/public_html/index.html --address 203.0.113.7 | diff ~/public_html/index.html -
)"},
    {"settings", R"(Usage: quillmap settings [--save] [--show-passwords]
       quillmap settings get [--show-passwords] SECTION.KEY
       quillmap settings set SECTION.KEY VALUE
       quillmap settings set [--stdin] SECTION.KEY      (passwords and the DDNS token)
       quillmap settings unset SECTION.KEY
       quillmap settings check
       quillmap settings edit
       quillmap settings names

Show, change and check the settings file Quillmap.ini of the program's folder. Names are the file's
own, SECTION.KEY in any letter case (FTP.Server, Config.Interval, DDNS.Hosts); values are UTF-8 on
the terminal and stored in Shift_JIS. Every change is checked by the settings dialog's rules and
refused (exit status 2, the file unchanged) when it brings in a problem.

Sub-commands:
  (none)     print every setting as Section/Key=value; --save writes them back complete
  get        print one value; passwords show as ******** unless --show-passwords
  set        store one value. Passwords (Status.Pass, FTP.Pass, SMTP.Pass, POP.Pass, DDNS.Pass)
             and DDNS.Token are never given on the command line: they are typed twice at a prompt
             that does not echo, or read from standard input with --stdin; they are stored scrambled
  unset      take a key out of the file, so that it reads as its default
  check      print every problem of the settings with its key; exit status 0 when there is none,
             1 otherwise
  edit       open the settings in $VISUAL or $EDITOR (else editor, else vi) as UTF-8 text; save them
             only when every value passes the check, otherwise show the problems and offer to edit
             again; the settings file is never left half written
  names      print every setting's name

Options:
  --show-passwords  print passwords as they are (get, and the list)
  --stdin           read the value from standard input (set)
  --save            write the settings back complete (the list)

Examples:
  quillmap settings set FTP.Server ftp.example.jp
  quillmap settings set Config.ReplaceFolder ~/public_html
  printf '%s\n' "$FTP_PASSWORD" | quillmap settings set --stdin FTP.Pass
  quillmap settings set Closed.String 'しばらく休止します'
  quillmap settings get ftp.server
  quillmap settings check && systemctl --user restart quillmap
)"},
    {"test-ftp", R"(Usage: quillmap test-ftp

Log on to the FTP server of the settings and change to its folder (the settings dialog's connection
test). Exit status 0 when it worked, 1 otherwise.

Example:
  quillmap settings set --stdin FTP.Pass < ftp-password.txt && quillmap test-ftp
)"},
    {"test-mail", R"(Usage: quillmap test-mail

Send the test mail with the settings of the program's folder. Exit status 0 when it was sent.

Example:
  quillmap test-mail
)"},
    {"test-router", R"(Usage: quillmap test-router [--tree] [--from DIR]

Show the network adapter and the router address found automatically.

Options:
  --tree      also print the adapter tree
  --from DIR  read the adapters from a recorded folder (sys/class/net, proc/net/route, ip-addr.txt)

Example:
  quillmap test-router --tree
)"},
};

} // namespace

const char* CommandHelp(const char* name)
{
    for (const Help& h : kHelp)
        if (std::strcmp(h.name, name) == 0)
            return h.text;
    return nullptr;
}

bool AsksForHelp(const QStringList& args)
{
    for (const QString& arg : args) {
        if (arg == QLatin1String("--"))
            return false;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return true;
    }
    return false;
}

} // namespace app
