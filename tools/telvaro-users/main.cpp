// telvaro-users: creates and edits the account file from the command line.
// The program itself never creates that file, so the first account comes
// from here; it is also the way back in after a forgotten password.

#include "account_file.h"
#include "option_messages.h"

#include <QCoreApplication>
#include <QDate>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

enum Exit { Done = 0, Refused = 1, BadUse = 2 };

// "or:" lines are what help2man takes into the manual page's synopsis.
const char kUsage[] = "Usage: telvaro-users FILE list\n"
                      "  or:  telvaro-users FILE add NAME LEVEL [--rights devices,communication,display]\n"
                      "  or:  telvaro-users FILE delete NAME\n"
                      "  or:  telvaro-users -h | --help | -V | --version\n"
                      "\n"
                      "FILE is the account file: ~/.local/share/Telvaro/files/users.dat for the\n"
                      "installed program, files/users.dat beside it for one run from its build\n"
                      "folder (build/bin/files/users.dat).\n"
                      "add asks for the password twice, unseen, on a terminal, and reads it as one\n"
                      "line from standard input otherwise. It creates FILE\n"
                      "(mode 0600) when it does not exist, and changes the account NAME when it\n"
                      "exists (its registration date stays). LEVEL is Administrator, Setup or\n"
                      "Operator. Without --rights an Administrator gets all three rights and the\n"
                      "others none; \"--rights none\" grants none.\n"
                      "\n"
                      "  -h, --help     this text\n"
                      "  -V, --version  the version\n"
                      "\n"
                      "Exit status: 0 done, 1 refused (the reason on standard error), 2 bad\n"
                      "command line or unreadable file.\n";

int fail(int code, const QString &why)
{
    std::fprintf(stderr, "telvaro-users: %s\n", qPrintable(why));
    return code;
}

// A command line that cannot be carried out: one line, as every program here says it.
int usage(const QString &why)
{
    return fail(BadUse, why + QStringLiteral(" (see --help)"));
}

int refuse(const std::string &why)
{
    return fail(BadUse, QString::fromStdString(why));
}

// Tabs and line breaks in a stored text would break the one-line-per-account output.
QString printable(QString text)
{
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u'?';
    }
    return text;
}

QString rightsText(const accounts::Account &a)
{
    QStringList rights;
    if (a.devices)
        rights << QStringLiteral("devices");
    if (a.communication)
        rights << QStringLiteral("communication");
    if (a.display)
        rights << QStringLiteral("display");
    return rights.isEmpty() ? QStringLiteral("-") : rights.join(u',');
}

// Missing and unreadable files are the caller's mistake (exit 2).
int checkReadable(const QString &file)
{
    const accounts::AccountList list = accounts::readAccounts(file);
    if (list.status == accounts::AccountList::Status::Missing)
        return fail(BadUse, QStringLiteral("%1: no such account file").arg(file));
    if (list.status == accounts::AccountList::Status::Unreadable)
        return fail(BadUse, QStringLiteral("%1: cannot read it: %2").arg(file, list.error));
    return Done;
}

int list(const QString &file)
{
    if (const int code = checkReadable(file))
        return code;
    for (const accounts::Account &a : accounts::readAccounts(file).accounts) {
        const QString line =
            QStringList{printable(a.name), printable(a.level), printable(a.registered), rightsText(a)}.join(u'\t');
        std::printf("%s\n", line.toLocal8Bit().constData());
    }
    return Done;
}

// One line of standard input without its line end.
QString readLine()
{
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
}

// The terminal as it was before echo was turned off, for a signal that
// ends the program at a prompt (Ctrl+C, a kill, a closed terminal).
termios g_terminalBefore{};
volatile std::sig_atomic_t g_echoOff = 0;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void restoreTerminalAndEnd(int signal)
{
    if (g_echoOff)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &g_terminalBefore);
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, "\n", 1);
    ::signal(signal, SIG_DFL);
    ::raise(signal); // ends as the signal says, for the shell to see
}

// Ctrl+Z at a prompt: the shell gets its terminal back as it was, and `fg`
// hides the typing again.
termios g_terminalHidden{};

extern "C" void suspendAtPrompt(int)
{
    if (g_echoOff)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &g_terminalBefore);
    struct sigaction stop {};
    stop.sa_handler = SIG_DFL;
    ::sigemptyset(&stop.sa_mask);
    struct sigaction self {};
    ::sigaction(SIGTSTP, &stop, &self);
    sigset_t tstp;
    ::sigemptyset(&tstp);
    ::sigaddset(&tstp, SIGTSTP);
    ::sigprocmask(SIG_UNBLOCK, &tstp, nullptr);
    ::raise(SIGTSTP); // stopped here until continued
    ::sigaction(SIGTSTP, &self, nullptr);
    if (g_echoOff)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &g_terminalHidden);
}

// On a terminal: asked for without echo, with the prompt on standard error.
QString readHidden(const char *prompt)
{
    const bool hidden = ::tcgetattr(STDIN_FILENO, &g_terminalBefore) == 0;
    if (hidden) {
        struct sigaction restore {};
        restore.sa_handler = restoreTerminalAndEnd;
        ::sigemptyset(&restore.sa_mask);
        for (int signal : kEndingSignals)
            ::sigaction(signal, &restore, nullptr);
        struct sigaction suspend {};
        suspend.sa_handler = suspendAtPrompt;
        suspend.sa_flags = SA_RESTART; // the prompt goes on reading after fg
        ::sigemptyset(&suspend.sa_mask);
        ::sigaction(SIGTSTP, &suspend, nullptr);
        g_terminalHidden = g_terminalBefore;
        g_terminalHidden.c_lflag &= ~tcflag_t(ECHO);
        g_echoOff = 1;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_terminalHidden);
    }
    std::fputs(prompt, stderr); // only once nothing typed shows any more
    const QString line = readLine();
    if (hidden) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_terminalBefore);
        g_echoOff = 0;
        for (int signal : kEndingSignals)
            ::signal(signal, SIG_DFL);
        ::signal(SIGTSTP, SIG_DFL);
    }
    std::fputs("\n", stderr);
    return line;
}

// The password is never an argument, where other users could read it in the
// process list. On a terminal it is typed twice, unseen; from a pipe it is
// one line. Nothing when the two typings differ.
std::optional<QString> readPassword()
{
    if (!::isatty(STDIN_FILENO))
        return readLine();
    const QString first = readHidden("Password: ");
    if (first.isEmpty())
        return first;
    if (readHidden("Repeat password: ") != first)
        return std::nullopt;
    return first;
}

constexpr const char *kRightsWanted = "must list devices, communication or display, or be none";

int add(const QString &file, QStringList args)
{
    accounts::Account account;
    std::optional<QString> rights;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rights") && i + 1 < args.size()) {
            rights = args[i + 1];
            args.remove(i, 2);
            --i;
        } else if (args[i].startsWith(QLatin1String("--rights="))) {
            rights = args[i].mid(9);
            args.remove(i--);
        } else if (args[i] == QLatin1String("--rights")) {
            return refuse(tool::needsValue("--rights"));
        } else if (args[i].startsWith(u'-')) {
            return refuse(tool::unknownOption(args[i].toStdString()));
        }
    }
    if (args.size() != 2)
        return usage(QStringLiteral("add needs NAME and LEVEL"));
    account.name = args[0];
    account.level = args[1];
    if (account.name.isEmpty() || account.name.size() > accounts::kNameSize)
        return usage(QStringLiteral("NAME must have 1 to %1 characters").arg(accounts::kNameSize));
    if (!accounts::isKnownLevel(account.level))
        return usage(QStringLiteral("LEVEL must be Administrator, Setup or Operator, not '%1'").arg(account.level));
    const bool administrator = accounts::accessLevel(account.level) == accounts::AccessLevel::Administrator;
    account.devices = account.communication = account.display = administrator && !rights;
    if (rights && rights->isEmpty())
        return refuse(tool::badValue("--rights", kRightsWanted, ""));
    if (rights && *rights != QLatin1String("none")) {
        for (const QString &right : rights->split(u',', Qt::SkipEmptyParts)) {
            if (right == QLatin1String("devices"))
                account.devices = true;
            else if (right == QLatin1String("communication"))
                account.communication = true;
            else if (right == QLatin1String("display"))
                account.display = true;
            else
                return refuse(tool::badValue("--rights", kRightsWanted, rights->toStdString()));
        }
    }
    if (accounts::readAccounts(file).status == accounts::AccountList::Status::Unreadable)
        return checkReadable(file);

    const std::optional<QString> password = readPassword();
    if (!password)
        return fail(Refused, QStringLiteral("the two passwords differ; nothing changed"));
    account.password = *password;
    if (account.password.isEmpty())
        return fail(Refused, QStringLiteral("no password on standard input"));
    // The file holds 10 characters; a longer password would be cut and then never match.
    if (account.password.size() > accounts::kPasswordSize)
        return fail(Refused, QStringLiteral("the password is longer than %1 characters").arg(accounts::kPasswordSize));
    const accounts::AccountResult result = accounts::addOrChange(file, account, QDate::currentDate(),
                                                                 accounts::IfMissing::Create);
    if (!result.ok)
        return fail(Refused, result.detail);
    std::printf("%s\n", qPrintable(result.detail));
    return Done;
}

int remove(const QString &file, const QStringList &args)
{
    if (args.size() != 1)
        return usage(QStringLiteral("delete needs NAME"));
    if (const int code = checkReadable(file))
        return code;
    const accounts::AccountResult result = accounts::removeAccount(file, args[0]);
    if (!result.ok)
        return fail(Refused, result.detail);
    std::printf("%s\n", qPrintable(result.detail));
    return Done;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    for (const QString &arg : std::as_const(args)) {
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return Done;
        }
        if (arg == QLatin1String("--version") || arg == QLatin1String("-V")) {
            std::printf("telvaro-users %s\n", TELVARO_VERSION);
            return Done;
        }
    }
    // Options belong after the command; one in front is a mistake, named as such.
    if (!args.isEmpty() && args[0].startsWith(u'-') && args[0] != QLatin1String("-"))
        return refuse(tool::unknownOption(args[0].toStdString()));
    if (args.size() < 2)
        return usage(QStringLiteral("FILE and a command are needed"));
    const QString file = args.takeFirst();
    const QString command = args.takeFirst();
    if (command == QLatin1String("list"))
        return args.isEmpty() ? list(file) : usage(QStringLiteral("list takes no arguments"));
    if (command == QLatin1String("add"))
        return add(file, args);
    if (command == QLatin1String("delete"))
        return remove(file, args);
    return usage(QStringLiteral("unknown command '%1'").arg(command));
}
