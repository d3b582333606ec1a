// korva-tds-standin --data <folder> --user U --password P [--port N]
// Serves the embedded data folder over TDS on 127.0.0.1 until killed, for
// trying the ODBC engine by hand. --port is accepted for scripts but the
// system picks the port; the one in use is printed.

#include "tdsstandin.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>

#include <csignal>
#include <cstdio>
#include <thread>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("data"), QStringLiteral("Embedded data folder."), QStringLiteral("folder")});
    parser.addOption({QStringLiteral("user"), QStringLiteral("SQL login accepted."), QStringLiteral("user")});
    parser.addOption({QStringLiteral("password"), QStringLiteral("Its password."), QStringLiteral("password")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("Ignored; the port is printed."), QStringLiteral("port")});
    parser.addOption({QStringLiteral("database"), QStringLiteral("Default database."), QStringLiteral("name")});
    parser.process(app);
    if (!parser.isSet(QStringLiteral("data")) || !parser.isSet(QStringLiteral("user"))) {
        std::fprintf(stderr, "usage: korva-tds-standin --data <folder> --user U --password P\n");
        return 2;
    }
    korva::tds::StandInOptions o;
    o.dataFolder = parser.value(QStringLiteral("data"));
    o.user = parser.value(QStringLiteral("user"));
    o.password = parser.value(QStringLiteral("password"));
    if (parser.isSet(QStringLiteral("database")))
        o.defaultDatabase = parser.value(QStringLiteral("database"));
    korva::tds::StandIn server(o);
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%u\n", unsigned(server.port()));
    std::fflush(stdout);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    int sig = 0;
    sigwait(&set, &sig);
    server.stop();
    return 0;
}
