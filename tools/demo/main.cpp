// korva-demo: builds the demo installation the browser runs against.
#include "demo/demoinstallation.h"
#include "demo/registry.h"
#include "platform/workstationinfo.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QStandardPaths>

#include <cstdio>

namespace {

void print(const QString &line) { std::fputs(qPrintable(line + u'\n'), stdout); }

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korva-demo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVA_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Builds a complete Orvex installation for the embedded engine: "
                       "databases, data dictionaries, registry values and the server entry."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QString defaultRoot = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                + QStringLiteral("/KORVA/demo");
    const QCommandLineOption root(QStringLiteral("root"),
                                  QStringLiteral("Folder of the installation (default %1).").arg(defaultRoot),
                                  QStringLiteral("DIR"), defaultRoot);
    const QCommandLineOption subscribers(QStringLiteral("subscribers"),
                                         QStringLiteral("Number of subscribers (default 2000)."), QStringLiteral("N"),
                                         QStringLiteral("2000"));
    const QCommandLineOption reportRows(QStringLiteral("report-rows"),
                                        QStringLiteral("Rows of the call history (default 5000)."), QStringLiteral("N"),
                                        QStringLiteral("5000"));
    const QCommandLineOption big(QStringLiteral("big"), QStringLiteral("A call history of 1,000,000 rows."));
    const QCommandLineOption instance(QStringLiteral("instance"),
                                      QStringLiteral("SQL Server instance name (default zandelorvex)."),
                                      QStringLiteral("NAME"), QStringLiteral("zandelorvex"));
    const QCommandLineOption describe(QStringLiteral("write-registry-description"),
                                      QStringLiteral("Only write the registry settings description "
                                                     "(OrvexRegistrySettings.xml) to FILE."),
                                      QStringLiteral("FILE"));
    parser.addOptions({root, subscribers, reportRows, big, instance, describe});
    parser.process(app);

    if (parser.isSet(describe)) {
        QFile f(parser.value(describe));
        const QByteArray xml = korva::demo::registrySettingsXml();
        if (!f.open(QIODevice::WriteOnly) || f.write(xml) != xml.size()) {
            std::fprintf(stderr, "korva-demo: cannot write %s\n", qPrintable(f.fileName()));
            return 1;
        }
        return 0;
    }

    korva::demo::DemoOptions options;
    options.root = parser.value(root);
    bool ok = true;
    options.subscribers = parser.value(subscribers).toInt(&ok);
    if (!ok || options.subscribers < 0) {
        std::fprintf(stderr, "korva-demo: --subscribers needs a number of 0 or more\n");
        return 2;
    }
    options.reportRows = parser.value(reportRows).toLongLong(&ok);
    if (!ok || options.reportRows < 0) {
        std::fprintf(stderr, "korva-demo: --report-rows needs a number of 0 or more\n");
        return 2;
    }
    if (parser.isSet(big))
        options.reportRows = 1000000;
    options.instance = parser.value(instance);
    options.serverName = korva::WorkStationInfo::instance().ComputerName();

    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!korva::demo::createDemoInstallation(options, &error)) {
        std::fprintf(stderr, "korva-demo: %s\n", qPrintable(error));
        return 1;
    }

    const QString rootPath = QDir::cleanPath(QDir(options.root).absolutePath());
    print(QStringLiteral("Demo installation in %1 (%2 subscribers, %3 call history rows, %4 s):")
              .arg(rootPath)
              .arg(options.subscribers)
              .arg(options.reportRows)
              .arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1));
    QDirIterator files(rootPath, QDir::Files, QDirIterator::Subdirectories);
    QStringList lines;
    while (files.hasNext()) {
        const QString path = files.next();
        lines << QStringLiteral("  %1  %2 KB")
                     .arg(QDir(rootPath).relativeFilePath(path))
                     .arg((files.fileInfo().size() + 1023) / 1024);
    }
    lines.sort();
    for (const QString &l : lines)
        print(l);
    print(QStringLiteral("Registry: %1").arg(korva::demo::registryFilePath()));
    print(QStringLiteral("Embedded server registered: %1\\%2 -> %3/data")
              .arg(options.serverName, options.instance, rootPath));
    return 0;
}
