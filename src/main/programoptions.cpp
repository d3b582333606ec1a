#include "main/programoptions.h"

#include "platform/paths.h"

namespace korva {

namespace {

// The toolkit's own options that take a value, and those that do not.
const QStringList kToolkitWithValue{
    QStringLiteral("platform"),      QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"), QStringLiteral("plugin"),
    QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
    QStringLiteral("qwindowicon"),   QStringLiteral("qwindowtitle"),
    QStringLiteral("style"),         QStringLiteral("stylesheet"),
    QStringLiteral("session"),       QStringLiteral("display"),
    QStringLiteral("geometry"),      QStringLiteral("title"),
    QStringLiteral("name"),          QStringLiteral("visual"),
    QStringLiteral("ncols"),         QStringLiteral("cmap"),
};
const QStringList kToolkitFlags{
    QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
    QStringLiteral("dograb"),  QStringLiteral("sync"),        QStringLiteral("testability"),
};

} // namespace

ProgramOptions parseProgramOptions(const QStringList &args)
{
    ProgramOptions result;
    QStringList pieces;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help") || arg == QLatin1String("-help")) {
            result.action = ProgramOptions::Action::Help;
            return result;
        }
        if (arg == QLatin1String("--version")) {
            result.action = ProgramOptions::Action::Version;
            return result;
        }
        if (arg == QLatin1String("--edit")) {
            pieces << QStringLiteral("/Edit");
            continue;
        }
        if (arg.startsWith(QLatin1String("--named="))) {
            pieces << QStringLiteral("/named:") + arg.mid(8);
            continue;
        }
        if (arg == QLatin1String("--named")) {
            if (i + 1 >= args.size()) {
                result.action = ProgramOptions::Action::Error;
                result.error = QStringLiteral("korva: option '--named' needs an instance name");
                return result;
            }
            pieces << QStringLiteral("/named:") + args[++i];
            continue;
        }
        if (arg.startsWith(u'-') && arg.size() > 1) {
            const QString bare = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
            const QString name = bare.section(u'=', 0, 0);
            if (kToolkitFlags.contains(name))
                continue;
            if (kToolkitWithValue.contains(name)) {
                if (!bare.contains(u'='))
                    ++i; // its value
                continue;
            }
            result.action = ProgramOptions::Action::Error;
            result.error = QStringLiteral("korva: unknown option '%1'").arg(arg);
            return result;
        }
        // "/Edit", "/named:NAME" and anything else go to the start sequence,
        // which reads what it knows and leaves the rest.
        pieces << arg;
    }
    result.commandLine = pieces.join(u' ');
    return result;
}

QString programHelpText()
{
    return QStringLiteral("Usage: korva [OPTION]...\n"
                          "Browses the four SQL Server databases of an Orvex voice-messaging server: tables, views,\n"
                          "columns and rows, explained from the product's data dictionaries.\n"
                          "\n"
                          "Options:\n"
                          "  /named:NAME, --named=NAME  the SQL Server instance of the server (default zandelorvex)\n"
                          "  /Edit, --edit              rows can be edited in the grid\n"
                          "  -h, --help                 print these options and exit\n"
                          "  --version                  print the version and exit\n"
                          "\n"
                          "With no installation on this computer, korva offers to create the demo installation,\n"
                          "to use a server's files (a registry export taken on the server and its data\n"
                          "dictionaries), or to attach to a server. See korva(1) for the files it keeps.\n");
}

QString programVersionText() { return QStringLiteral("korva ") + programVersion() + u'\n'; }

} // namespace korva
