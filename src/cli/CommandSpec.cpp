#include "cli/CommandSpec.h"

const TOptionSpec* TCommandSpec::FindOption(const QString& name) const
{
    for (const TOptionSpec& option : Options)
        if (option.Name == name)
            return &option;
    return nullptr;
}

namespace {

TOptionSpec opt(const char* name, const char* valueName, const char* help)
{
    return {QLatin1String(name), QLatin1String(valueName), QLatin1String(help), false};
}

TOptionSpec required(TOptionSpec option)
{
    option.Required = true;
    return option;
}

// The commands that connect may reach the server otherwise than the profile says, for one run.
QList<TOptionSpec> connectionOptions()
{
    return {
        opt("user", "NAME", "log in to the server with this user name"),
        opt("tls", "", "connect over TLS from the first byte, whatever the profile says"),
        opt("starttls", "", "connect in plain text and upgrade with STARTTLS"),
        opt("trust-fingerprint", "SHA256",
            "trust the server's certificate with this SHA-256 fingerprint (self-signed)"),
        opt("socks5", "[USER[:PASSWORD]@]HOST:PORT",
            "reach the server through this SOCKS5 proxy (password also from "
            "QUORVEL_SOCKS5_PASSWORD)"),
    };
}

QList<TOptionSpec> postOptions()
{
    return {
        required(opt("group", "GROUP",
                     "newsgroup to post to, listed in the profile or not; repeat for several")),
        opt("subject", "TEXT", "subject text (default: the profile's last subject)"),
        opt("template", "TEMPLATE", "subject template, e.g. \"%s - %f (%p/%t) %b Bytes\""),
        opt("lines", "N", "lines per article part; 0 posts each file whole"),
        opt("encoding", "uuencode|yenc", "how binary files are encoded (text files go as text)"),
        opt("par2", "PERCENT",
            "post PAR2 recovery files of this size (per cent) after each file; 0 for none"),
        opt("crosspost", "", "post each file once to all groups"),
        opt("no-crosspost", "", "post each file once per group"),
        opt("include-text", "FILE", "text to put before each file"),
        opt("signature", "FILE", "signature file appended to each article"),
        opt("from", "TEXT", "From line, e.g. \"me@example.com (Me)\""),
        opt("server", "NAME|HOST[:PORT]",
            "post through the profile's server of this name (its security and login), or to "
            "this host; for this run only"),
        opt("timeout", "SECONDS", "reply time-out; 0 for none"),
        opt("post-timeout", "SECONDS", "time-out while an article is sent; 0 for none"),
        opt("catalog", "FILE", "post the files a files.bbs catalog lists, with its descriptions"),
    };
}

// "watch" posts as "post" does, one item at a time; a catalog names files of its own.
QList<TOptionSpec> watchOptions()
{
    QList<TOptionSpec> options;
    for (const TOptionSpec& o : postOptions())
        if (o.Name != QLatin1String("catalog"))
            options << o;
    options << opt("settle", "SECONDS",
                   "how long an item must stay unchanged before it is posted (default 30)")
            << opt("posted", "move|remember",
                   "move posted items into FOLDER/posted, or leave them and remember them "
                   "(default: the profile's WatchPosted)");
    return options;
}

// What "server add" and "server set" change; "server set NAME FIELD VALUE" takes the
// options that carry a value as fields.
QList<TOptionSpec> serverOptions()
{
    return {
        opt("host", "HOST", "the server's host name or address"),
        opt("port", "PORT", "its port (default 119, 563 with --tls)"),
        opt("security", "none|tls|starttls", "how the connection is protected"),
        opt("tls", "", "TLS from the first byte (same as --security tls)"),
        opt("starttls", "", "plain text upgraded with STARTTLS (same as --security starttls)"),
        opt("trusted-authorities", "FILE",
            "a PEM file of authorities trusted besides the system's"),
        opt("trust-fingerprint", "SHA256",
            "trust the server's certificate with this SHA-256 fingerprint (self-signed)"),
        opt("user", "NAME", "log in with this user name; empty: no login"),
        opt("password", "", "ask for the login's password (or take QUORVEL_PASSWORD) and keep it"),
        opt("connections", "N", "connections posting at once (1 to 32)"),
        opt("role", "post|check|both", "what the server is used for (default post)"),
        opt("priority", "N", "among the post servers: lower first (default 0)"),
        opt("proxy", "HOST:PORT", "reach the server through this SOCKS5 proxy; empty: none"),
        opt("proxy-user", "NAME", "the proxy's user name"),
        opt("proxy-password", "",
            "ask for the proxy's password (or take QUORVEL_PROXY_PASSWORD) and keep it"),
        opt("name", "NAME", "a new name for the server (server set)"),
    };
}

// The commands that post: how a script follows the run.
QList<TOptionSpec> reportOptions()
{
    return {
        opt("json", "", "write each event as one line of JSON on standard output, for scripts"),
    };
}

// Where and how 'check' asks.
QList<TOptionSpec> checkOptions()
{
    return {
        opt("bodies", "N%",
            "also fetch N per cent of the articles found (BODY) and check their yEnc size and "
            "CRC-32"),
        opt("delay", "SECONDS",
            "ask no sooner than this after the post (default: the check server's delay, or "
            "the profile's CheckDelay)"),
        opt("check-server", "NAME|HOST[:PORT]",
            "ask this server (one of the profile's by its name, or any) instead of the "
            "profile's check server or the one posted to; its delay is CheckServerDelay"),
        opt("check-tls", "", "reach the --check-server with TLS from the first byte"),
    };
}

QList<TCommandSpec> buildSpecs()
{
    const auto cmd = [](const char* name, const char* args, const char* help, int min, int max,
                        const char* example, QList<TOptionSpec> options = {}) {
        return TCommandSpec{
            QLatin1String(name), QLatin1String(args),       QLatin1String(help), min, max,
            std::move(options),  QString::fromUtf8(example)};
    };
    return {
        cmd("post", "FILE...", "queue and post files to newsgroups", 0, -1,
            "quorvel-cli post --group alt.binaries.test --subject \"Holiday\" --lines 5000 "
            "photos/*.jpg",
            postOptions() + connectionOptions() + reportOptions()),
        cmd("watch", "FOLDER",
            "post each file or folder that lands in FOLDER once it has stopped changing", 1, 1,
            "quorvel-cli watch ~/Uploads --group alt.binaries.test --encoding yenc",
            watchOptions() + connectionOptions() + reportOptions()),
        cmd("check", "ENTRY|FILE.nzb",
            "ask the check server (or the profile's server) for every article of a history "
            "entry or an NZB file and print those missing; a batch's journal records what it "
            "found",
            1, 1, "quorvel-cli check nzb/Holiday.nzb", checkOptions() + connectionOptions()),
        cmd("history", "", "list every batch posted: its files, groups, articles and state", 0, 0,
            "quorvel-cli history --json", reportOptions()),
        cmd("repair", "ENTRY|FILE.nzb",
            "post again, from the source files, the articles of a batch the server lost, and "
            "rewrite its NZB file",
            1, 1, "quorvel-cli repair 20261208-101500-abcdef --source ~/holiday",
            QList<TOptionSpec>{
                opt("source", "FOLDER",
                    "where the posted files are now, when moved since (for an NZB file no "
                    "journal knows: where its files are; default: the NZB file's folder)"),
                opt("check-server", "NAME|HOST[:PORT]",
                    "ask this server (one of the profile's by its name, or any) which articles "
                    "are missing instead of the profile's check server; they are posted again "
                    "through the profile's server"),
                opt("check-tls", "", "reach the --check-server with TLS from the first byte")} +
                connectionOptions()),
        cmd("groups download", "", "download the server's full group list (replaces the newsrc)", 0,
            0, "quorvel-cli --yes groups download", connectionOptions()),
        cmd("groups new", "", "fetch the groups created since the last download", 0, 0,
            "quorvel-cli groups new", connectionOptions()),
        cmd("groups list", "", "list the profile's groups", 0, 0,
            "quorvel-cli groups list --subscribed",
            {opt("subscribed", "", "only subscribed groups"),
             opt("unsubscribed", "", "only unsubscribed groups"),
             opt("new", "", "only new groups")}),
        cmd("groups subscribe", "GROUP...", "subscribe to groups", 1, -1,
            "quorvel-cli groups subscribe alt.binaries.test alt.test"),
        cmd("groups unsubscribe", "GROUP...", "unsubscribe from groups", 1, -1,
            "quorvel-cli groups unsubscribe alt.test"),
        cmd("groups import", "FILE", "import a newsrc text file", 1, 1,
            "quorvel-cli groups import ~/.newsrc"),
        cmd("tasks show", "", "show the tasks left in the task file by an earlier run", 0, 0,
            "quorvel-cli tasks show"),
        cmd("tasks run", "", "reload the task file and run its tasks", 0, 0,
            "quorvel-cli --profile Work tasks run", connectionOptions() + reportOptions()),
        cmd("server list", "", "list the profile's servers: name, host:port, security, role", 0, 0,
            "quorvel-cli server list"),
        cmd("server add", "NAME", "add a server to the profile", 1, 1,
            "quorvel-cli server add Backup --host news.example.net --tls --user me "
            "--password --role post --priority 1",
            serverOptions()),
        cmd("server set", "NAME [FIELD VALUE]",
            "change a server: by options, or one field named as its option (host, port, "
            "role, ...)",
            1, 3, "quorvel-cli server set Backup priority 2", serverOptions()),
        cmd("server remove", "NAME", "remove a server from the profile", 1, 1,
            "quorvel-cli server remove Backup"),
        cmd("server test", "[NAME]",
            "connect, log in and report the greeting, TLS version and whether posting is "
            "allowed (default: the profile's server)",
            0, 1, "quorvel-cli server test Backup"),
        cmd("profile show", "", "show the profile's settings", 0, 0,
            "quorvel-cli --profile Work profile show"),
        cmd("profile set", "KEY VALUE",
            "change one setting of the profile ('profile show' lists the keys)", 2, 2,
            "quorvel-cli profile set MaxLines 5000"),
        cmd("profile set-password", "",
            "store the news server password (from the terminal or QUORVEL_PASSWORD)", 0, 0,
            "quorvel-cli profile set-password --dialup",
            {opt("dialup", "", "the dial-up password instead (QUORVEL_DIALUP_PASSWORD)")}),
        cmd("profile create", "NAME", "create a profile with default settings", 1, 1,
            "quorvel-cli profile create Work"),
        cmd("profile delete", "NAME", "delete a profile's settings", 1, 1,
            "quorvel-cli --yes profile delete Work"),
        cmd("profile list", "", "list the profiles", 0, 0, "quorvel-cli profile list"),
    };
}

} // namespace

const QList<TCommandSpec>& CommandSpecs()
{
    static const QList<TCommandSpec> specs = buildSpecs();
    return specs;
}

const QList<TOptionSpec>& GlobalOptions()
{
    static const QList<TOptionSpec> options = {
        opt("profile", "NAME", "profile to use (default: Default)"),
        opt("yes", "", "answer yes to every question"),
        opt("verbose", "", "also print every log line"),
        opt("help", "", "show this help, or a command's own (COMMAND --help)"),
        opt("version", "", "show the version"),
    };
    return options;
}

bool IsCommandArea(const QString& word)
{
    for (const TCommandSpec& c : CommandSpecs())
        if (c.Name.section(u' ', 0, 0) == word)
            return true;
    return false;
}
