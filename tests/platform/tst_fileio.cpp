#include "common/testsupport.h"
#include "platform/fileio.h"

#include <QtCore/QDir>
#include <QtTest/QtTest>

#include <cerrno>
#include <sys/stat.h>

using namespace korva;

class tst_FileIO : public QObject
{
    Q_OBJECT

private:
    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void writesAndReplaces()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.txt"));
        QVERIFY(writeFileAtomically(path, "first"));
        QVERIFY(writeFileAtomically(path, "second, longer"));
        QCOMPARE(contents(path), QByteArray("second, longer"));
        AtomicFileWriter w(path);
        QVERIFY(w.open());
        QVERIFY(w.write("part one, "));
        QVERIFY(w.write("part two"));
        QVERIFY(w.commit());
        QCOMPARE(contents(path), QByteArray("part one, part two"));
        // Abandoned half way: the file stays as it was.
        {
            AtomicFileWriter abandoned(path);
            QVERIFY(abandoned.open());
            QVERIFY(abandoned.write("never seen"));
        }
        QCOMPARE(contents(path), QByteArray("part one, part two"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.txt")});
        QString error;
        QVERIFY(!writeFileAtomically(dir.filePath(QStringLiteral("no/such/folder/b.txt")), "x", &error));
        QVERIFY(!error.isEmpty());
    }

    // The disk fills up part-way through the write: the old file stays whole,
    // no temporary file is left, and the failure says why.
    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("short-write-in-one-block") << 100000;
        QTest::newRow("many-blocks") << 3000000;
    }
    void fullDiskKeepsTheOldFile()
    {
        QFETCH(int, size);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("keep.txt"));
        const QByteArray old(20000, 'o');
        QVERIFY(writeFileAtomically(path, old));
        const auto failedAsItShould = test::runWithFileSizeLimit(50000, [&] {
            AtomicFileWriter w(path);
            if (!w.open())
                return false;
            const QByteArray block(size / 4, 'n');
            bool ok = true;
            for (int i = 0; i < 4 && ok; ++i)
                ok = w.write(block);
            ok = ok && w.commit();
            return !ok && (w.errorNumber() == EFBIG || w.errorNumber() == ENOSPC) && !w.errorString().isEmpty();
        });
        QVERIFY(failedAsItShould.has_value());
        QVERIFY(*failedAsItShould);
        QCOMPARE(contents(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.txt")});
    }

    void readsOnlyRegularFilesWithinTheLimit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("r.txt"));
        QVERIFY(writeFileAtomically(path, "hello"));
        QByteArray bytes;
        QCOMPARE(readRegularFile(path, 5, &bytes), ReadStatus::Ok);
        QCOMPARE(bytes, QByteArray("hello"));
        QCOMPARE(readRegularFile(path, 4, &bytes), ReadStatus::TooLarge);
        QVERIFY(bytes.isEmpty());
        QCOMPARE(readRegularFile(dir.filePath(QStringLiteral("none")), 5, &bytes), ReadStatus::Missing);
        QCOMPARE(readRegularFile(dir.path(), 5, &bytes), ReadStatus::NotRegular);
        QCOMPARE(readRegularFile(QStringLiteral("/dev/zero"), 1 << 20, &bytes), ReadStatus::NotRegular);
        // A FIFO without a writer would block a plain open for ever.
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QString error;
        QCOMPARE(readRegularFile(fifo, 5, &bytes, &error), ReadStatus::NotRegular);
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_FileIO)
#include "tst_fileio.moc"
