// Reading registry files full of deletions, and writes meeting a held lock.
//
//   bench_registry [--deletions 5000,20000,100000]
//
// (1) Parsing a file that sets N values (or makes N keys) and then deletes
//     them one by one, against a file of the same size whose last N lines
//     set other values (make other keys) instead: both should cost about the
//     same, whatever N.
// (2) Writes while the registry's lock file is held by someone else: one that
//     changes nothing, and one that must give up, against an ordinary write
//     with the lock free.
#include "benchsupport.h"
#include "platform/registryaccess/regfileformat.h"
#include "platform/registryaccess/registrystore.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QLockFile>
#include <QtCore/QLoggingCategory>

#include <algorithm>
#include <functional>

using namespace korva;
using regaccess::RegistryKey;

namespace {

const QByteArray kHeader = "Windows Registry Editor Version 5.00\n\n";

// Deletion lines and the lines standing in for them are of the same length.
QByteArray valuesFile(int count, bool deleting)
{
    QByteArray file = kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench]\n";
    for (int i = 0; i < count; ++i)
        file += QByteArray("\"v") + QByteArray::number(i).rightJustified(6, '0') + "\"=\"data\"\n";
    for (int i = 0; i < count; ++i) {
        if (deleting)
            file += QByteArray("\"v") + QByteArray::number(i).rightJustified(6, '0') + "\"=-\n";
        else
            file += QByteArray("\"w") + QByteArray::number(i).rightJustified(5, '0') + "\"=\"\"\n";
    }
    return file;
}

QByteArray keysFile(int count, bool deleting)
{
    QByteArray file = kHeader;
    for (int i = 0; i < count; ++i)
        file += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\k" + QByteArray::number(i).rightJustified(6, '0') + "]\n";
    for (int i = 0; i < count; ++i) {
        const QByteArray number = QByteArray::number(i).rightJustified(6, '0');
        if (deleting)
            file += "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\k" + number + "]\n";
        else
            file += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\kx" + number + "]\n";
    }
    return file;
}

// The best of a few parses, in nanoseconds; -1 when the text does not parse.
qint64 parseTime(const QByteArray &file, int runs)
{
    qint64 best = std::numeric_limits<qint64>::max();
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const regaccess::RegFileParse parsed = regaccess::parseRegFile(file);
        best = std::min(best, timer.nsecsElapsed());
        if (parsed.errorLine != 0)
            return -1;
    }
    return best;
}

qint64 medianTime(int runs, const std::function<void()> &work)
{
    std::vector<qint64> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    const QCommandLineOption deletionsOption(QStringLiteral("deletions"),
                                             QStringLiteral("numbers of deletions, comma-separated"),
                                             QStringLiteral("list"), QStringLiteral("5000,20000,100000"));
    options.addOption(deletionsOption);
    options.addHelpOption();
    options.process(app);

    std::printf("(1) parsing deletions against a file of the same size without them (best of 3)\n");
    std::printf("%-8s %10s %11s %12s %15s %7s\n", "kind", "deletions", "file bytes", "baseline ms", "deletions ms",
                "ratio");
    for (const QString &text : options.value(deletionsOption).split(u',', Qt::SkipEmptyParts)) {
        const int count = text.toInt();
        for (const bool keys : {false, true}) {
            const QByteArray plain = keys ? keysFile(count, false) : valuesFile(count, false);
            const QByteArray deleting = keys ? keysFile(count, true) : valuesFile(count, true);
            if (plain.size() != deleting.size()) {
                std::fprintf(stderr, "the two files differ in size\n");
                return 1;
            }
            const qint64 baseline = parseTime(plain, 3);
            const qint64 measured = parseTime(deleting, 3);
            if (baseline < 0 || measured < 0) {
                std::fprintf(stderr, "a generated file does not parse\n");
                return 1;
            }
            std::printf("%-8s %10d %11lld %12.1f %15.1f %7.2f\n", keys ? "keys" : "values", count,
                        qlonglong(plain.size()), bench::ms(baseline), bench::ms(measured),
                        double(measured) / double(baseline));
            std::fflush(stdout);
        }
    }

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("HKLM.reg"));
    regaccess::FileRegistryStore store(path);
    const QStringList key{QStringLiteral("SOFTWARE"), QStringLiteral("Bench")};
    int serial = 0;
    const auto change = [&] {
        return store.editKey(key, true, [&](RegistryKey &k) {
            return k.setValue(QStringLiteral("v"), regaccess::kTypeDword, regaccess::dwordToData(++serial));
        });
    };
    const auto keep = [&] { return store.editKey(key, true, [](RegistryKey &) { return false; }); };
    const auto setText = [](RegistryKey &k) {
        const QByteArray text = regaccess::textToData(QStringLiteral("text"));
        return k.setValue(QStringLiteral("name"), regaccess::kTypeText, text);
    };
    for (int i = 0; i < 200; ++i) // a registry of a realistic size
        store.editKey({QStringLiteral("SOFTWARE"), QStringLiteral("K%1").arg(i)}, true, setText);
    change();

    bool failed = false;
    const qint64 lockFree = medianTime(9, [&] { failed |= !change(); });
    QLockFile other(path + QStringLiteral(".lock"));
    other.tryLock(0);
    const qint64 unchanged = medianTime(9, [&] { failed |= !keep(); });
    bool gaveUp = true;
    QLoggingCategory::setFilterRules(QStringLiteral("korva.registry.store.warning=false"));
    const qint64 blocked = medianTime(5, [&] { gaveUp &= !change(); });
    if (failed || !gaveUp) {
        std::fprintf(stderr, "a write did not go as expected\n");
        return 1;
    }
    std::printf("\n(2) registry writes while another process holds the lock (median)\n");
    std::printf("  write changing a value, lock free (baseline): %8.2f ms\n", bench::ms(lockFree));
    std::printf("  write changing nothing, lock held:            %8.2f ms\n", bench::ms(unchanged));
    std::printf("  write changing a value, lock held (gives up): %8.2f ms\n", bench::ms(blocked));
    return 0;
}
