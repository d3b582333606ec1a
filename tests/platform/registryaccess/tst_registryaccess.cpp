#include "common/testsupport.h"
#include "platform/registryaccess/regfileformat.h"
#include "platform/registryaccess/registryapi.h"
#include "platform/registryaccess/registrystore.h"

#include <QtCore/QFile>
#include <QtCore/QLockFile>
#include <QtCore/QProcess>
#include <QtCore/QRandomGenerator>
#include <QtTest/QtTest>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace korva::RegistryAPI;
using korva::regaccess::RegistryKey;

namespace {

const QString kKey = QStringLiteral("SOFTWARE\\Brisvane\\Test");
constexpr HKEY kOtherRoot = 0x80000001;

QByteArray exportText(const QByteArray &body) { return QByteArray("Windows Registry Editor Version 5.00\n\n") + body; }

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Re-reads the store from a copy of its file, so nothing cached is involved.
void reopenFromCopy(const korva::test::IsolatedEnvironment &env)
{
    static int copies = 0;
    const QString copy = env.filePath(QStringLiteral("copy-%1.reg").arg(++copies));
    QVERIFY(QFile::copy(storeFilePath(), copy));
    qputenv("KORVA_HKLM", copy.toLocal8Bit());
}

QStringList keys(HKEY root, const QString &keyPath)
{
    return EnumKeys(root, keyPath).value_or(QStringList{QStringLiteral("<no list>")});
}

QString describe(const Entry &entry)
{
    QString value;
    if (entry.value.typeId() == QMetaType::QString)
        value = entry.value.toString();
    else if (entry.value.typeId() == QMetaType::Int)
        value = QString::number(entry.value.toInt());
    else
        value = QString::fromLatin1(entry.value.toByteArray().toHex());
    return entry.name % u'|' % QString::number(entry.type) % u'|' % value;
}

QStringList listing(const QString &keyPath)
{
    const std::optional<QList<Entry>> entries = EnumValues(HKEY_LOCAL_MACHINE, keyPath);
    if (!entries)
        return {QStringLiteral("<no list>")};
    QStringList out;
    for (const Entry &entry : *entries)
        out << describe(entry);
    return out;
}

int runWriter(const QString &prefix, int count)
{
    for (int i = 0; i < count; ++i)
        SetValue(HKEY_LOCAL_MACHINE, kKey, prefix + QString::number(i), REG_SZ, QStringLiteral("v%1").arg(i));
    return 0;
}

const QByteArray kBigValue(64 * 1024, 'x');

// Grows the registry file while files may not grow beyond limit bytes, as on
// a disk that fills up part-way through the write; prints whether the write
// was reported as done.
int runCappedWrite(qint64 limit)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit cap{rlim_t(limit), rlim_t(limit)};
    if (setrlimit(RLIMIT_FSIZE, &cap) != 0)
        return 2;
    korva::regaccess::FileRegistryStore store(storeFilePath());
    const auto setBig = [](RegistryKey &key) { return key.setValue(QStringLiteral("blob"), REG_BINARY, kBigValue); };
    const bool written = store.editKey({QStringLiteral("SOFTWARE"), QStringLiteral("Big")}, true, setBig);
    std::fputs(written ? "written" : "refused", stdout);
    return 0;
}

// Prints what the store makes of its file, and the error of a CreateKey. Run
// apart so that a store that blocks or eats memory on a strange file fails
// the test instead of stopping it.
int runReportProblem()
{
    // A reader that tried to take in all of /dev/zero would fail here rather
    // than take the machine's memory. The address sanitizer reserves far more
    // address space than that for its own use, so the limit cannot hold there.
#ifndef __SANITIZE_ADDRESS__
    const rlimit memory{rlim_t(4) << 30, rlim_t(4) << 30};
    setrlimit(RLIMIT_AS, &memory);
#endif
    korva::Error error;
    CreateKey(HKEY_LOCAL_MACHINE, kKey, &error);
    std::fputs(qPrintable(storeProblem() % u'|' % QString::number(error.number)), stdout);
    return 0;
}

QStringList nestedPath(int depth)
{
    QStringList path;
    path.reserve(depth);
    for (int i = 0; i < depth; ++i)
        path << QStringLiteral("k%1").arg(i % 10);
    return path;
}

QByteArray sectionOfDepth(int depth)
{
    return "[HKEY_LOCAL_MACHINE\\" + nestedPath(depth).join(u'\\').toLatin1() + "]\n";
}

QStringList valueNames(const RegistryKey &key)
{
    QStringList names;
    for (const auto &value : key.values())
        names << value.name;
    return names;
}

QStringList childNames(const RegistryKey &key)
{
    QStringList names;
    for (qsizetype i = 0; i < key.childCount(); ++i)
        names << key.childAt(i).name();
    return names;
}

// Every key below top and every value, one line each, in stored order.
QStringList dumpTree(const RegistryKey &top)
{
    QStringList lines;
    std::vector<std::pair<const RegistryKey *, QString>> pending{{&top, QString()}};
    while (!pending.empty()) {
        const auto [key, path] = pending.back();
        pending.pop_back();
        lines << path;
        for (const auto &value : key->values())
            lines << path % u'|' % value.name % u'|' % QString::number(value.type) % u'|'
                         % QString::fromLatin1(value.data.toHex());
        for (qsizetype i = key->childCount() - 1; i >= 0; --i)
            pending.emplace_back(&key->childAt(i), path % u'\\' % key->childAt(i).name());
    }
    return lines;
}

} // namespace

class TestRegistryAccess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void readsExportFile_data();
    void readsExportFile();
    void loneCarriageReturnEndsLine_data();
    void loneCarriageReturnEndsLine();
    void writesExportLayout();
    void formatsWhatItReads_data();
    void formatsWhatItReads();
    void rewriteKeepsFileAsItWas();
    void keepsStoredOrder();
    void separators_data();
    void separators();
    void bufferLimits_data();
    void bufferLimits();
    void emptyAndMissingListings();
    void getValueByTypeCode_data();
    void getValueByTypeCode();
    void createKey();
    void writesThatDoNothing_data();
    void writesThatDoNothing();
    void unparsableFileIsReportedAndKept_data();
    void unparsableFileIsReportedAndKept();
    void otherRootsSurviveRewrite();
    void staleStoreInstanceKeepsOthersValues();
    void twoProcessesKeepEachOthersValues();
    void addValueTakesAFreeName();
    void twoStoresChooseNamesOnFreshContents();
    void deepTreesNeedNoStack();
    void keyDepthLimit();
    void deletionsMatchAModel();
    void fullDiskKeepsOldFile();
    void strangeFileIsReported_data();
    void strangeFileIsReported();
    void heldLockDelaysOnlyRealChanges();
};

void TestRegistryAccess::roundTrip_data()
{
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<QVariant>("expected");

    const auto text = [](const QString &s) { return QVariant(s); };
    QTest::newRow("text") << REG_SZ << text(QStringLiteral("Hello")) << text(QStringLiteral("Hello"));
    const QString escapes = QStringLiteral("say \"hi\" to C:\\dir\\");
    QTest::newRow("quotes-and-backslashes") << REG_SZ << text(escapes) << text(escapes);
    const QString query = QStringLiteral("SELECT *\r\nFROM t\r\n\tWHERE x = '1'");
    QTest::newRow("multi-line-text") << REG_SZ << text(query) << text(query);
    const QString accents = QStringLiteral("Gr\u00f6\u00dfe \u20ac \U0001F600");
    QTest::newRow("non-ascii-text") << REG_SZ << text(accents) << text(accents);
    QTest::newRow("empty-text") << REG_SZ << text(QString()) << text(QString());
    const QString withNul = QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b");
    QTest::newRow("text-with-null") << REG_SZ << text(withNul) << text(withNul);
    const QString breaks = QStringLiteral("lf\nlone cr\rcr lf\r\n\r\n");
    QTest::newRow("every-kind-of-line-break") << REG_SZ << text(breaks) << text(breaks);
    const QString sections = QStringLiteral("C:\\dir\\\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"v\"=\"1\"\n;");
    QTest::newRow("lines-that-look-like-the-file") << REG_SZ << text(sections) << text(sections);
    const QString longest(4095, u'q');
    QTest::newRow("text-of-4095") << REG_SZ << text(longest) << text(longest);
    const QByteArray bytes("\x01\xab\x00", 3);
    QTest::newRow("binary") << REG_BINARY << QVariant(bytes) << QVariant(bytes);
    QTest::newRow("empty-binary") << REG_BINARY << QVariant(QByteArray()) << QVariant(QByteArray());
    QByteArray big(4096, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7);
    QTest::newRow("binary-of-4096") << REG_BINARY << QVariant(big) << QVariant(big);
    QTest::newRow("dword") << REG_DWORD << QVariant(10) << QVariant(qint32(10));
    QTest::newRow("negative-dword") << REG_DWORD << QVariant(-5) << QVariant(qint32(-5));
    QTest::newRow("dword-from-unsigned") << REG_DWORD << QVariant(0xFFFFFFFFu) << QVariant(qint32(-1));
    QTest::newRow("dword-rounds-half-to-even") << REG_DWORD << QVariant(2.5) << QVariant(qint32(2));
    QTest::newRow("dword-from-text") << REG_DWORD << text(QStringLiteral("42")) << QVariant(qint32(42));
}

void TestRegistryAccess::roundTrip()
{
    QFETCH(int, typeCode);
    QFETCH(QVariant, written);
    QFETCH(QVariant, expected);
    korva::test::IsolatedEnvironment env;

    CreateKey(HKEY_LOCAL_MACHINE, kKey);
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("before"), REG_SZ, QStringLiteral("x"));
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("v"), typeCode, written);
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("after"), REG_DWORD, 1);
    reopenFromCopy(env);
    QVERIFY(storeProblem().isEmpty());

    const QVariant got = GetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("v"), typeCode, QStringLiteral("default"));
    QCOMPARE(got.typeId(), expected.typeId());
    QCOMPARE(got, expected);

    const std::optional<QList<Entry>> entries = EnumValues(HKEY_LOCAL_MACHINE, kKey);
    QVERIFY(entries);
    QCOMPARE(entries->size(), 3);
    QCOMPARE(entries->at(1).name, QStringLiteral("v"));
    QCOMPARE(entries->at(1).type, typeCode);
    QCOMPARE(entries->at(1).value, expected);
    QCOMPARE(entries->at(2).name, QStringLiteral("after"));
}

void TestRegistryAccess::readsExportFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("default-value-and-escapes")
        << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n"
                      "@=\"d\"\n"
                      "\"a\\\\b\"=\"x \\\"y\\\" z\\\\\"\n")
        << QStringList{QStringLiteral("|1|d"), QStringLiteral("a\\b|1|x \"y\" z\\")};
    QTest::newRow("value-kinds") << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n"
                                               "\"n\"=dword:0000000a\n"
                                               "\"m\"=DWORD:ffffffff\n"
                                               "\"b\"=hex:01,ab\n"
                                               "\"e\"=hex(2):25,00,00,00\n"
                                               "\"s\"=hex(7):61,00,00,00,00,00\n"
                                               "\"q\"=hex(b):01,00,00,00,00,00,00,00\n"
                                               "\"z\"=hex:\n")
                                 << QStringList{QStringLiteral("n|4|10"),
                                                QStringLiteral("m|4|-1"),
                                                QStringLiteral("b|3|01ab"),
                                                QStringLiteral("e|2|25000000"),
                                                QStringLiteral("s|7|610000000000"),
                                                QStringLiteral("q|11|0100000000000000"),
                                                QStringLiteral("z|3|")};
    QTest::newRow("hex-continuation-lines")
        << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n"
                      "\"b\"=hex:01,02,\\\n"
                      "  03,04,\\\n"
                      "  05\n"
                      "\"after\"=\"x\"\n")
        << QStringList{QStringLiteral("b|3|0102030405"), QStringLiteral("after|1|x")};
    QTest::newRow("utf8-bom-comments-blank-lines-and-crlf")
        << "\xef\xbb\xbf"
               + exportText("; exported for tests\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\r\n"
                            "; a comment\r\n\r\n\"a\"=\"1\"\r\n")
        << QStringList{QStringLiteral("a|1|1")};
    QTest::newRow("deletions-applied") << exportText(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n\"a\"=\"1\"\n\"b\"=\"2\"\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n\"a\"=-\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test\\Sub]\n\"ignored\"=\"x\"\n")
                                       << QStringList{QStringLiteral("b|1|2")};
    QTest::newRow("sections-merge-without-case")
        << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n\"v\"=\"1\"\n"
                      "[hkey_local_machine\\software\\BRISVANE\\test]\n\"V\"=\"2\"\n\"w\"=\"3\"\n")
        << QStringList{QStringLiteral("v|1|2"), QStringLiteral("w|1|3")};
    QTest::newRow("text-spanning-lines") << exportText(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n\"q\"=\"one\ntwo\"\n\"r\"=\"3\"\n")
                                         << QStringList{QStringLiteral("q|1|one\ntwo"), QStringLiteral("r|1|3")};
    QTest::newRow("regedit4-single-byte")
        << QByteArray("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n"
                      "\"t\"=\"caf\xe9\"\n\"e\"=hex(2):41,00\n")
        << QStringList{QStringLiteral("t|1|caf\u00e9"), QStringLiteral("e|2|41000000")};

    QString utf16 = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\r\n\"\u00e9\"=\"\u20ac\"\r\n");
    QByteArray utf16Bytes("\xff\xfe");
    utf16Bytes += QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2);
    QTest::newRow("utf16-export") << utf16Bytes << QStringList{QStringLiteral("\u00e9|1|\u20ac")};
}

void TestRegistryAccess::readsExportFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    korva::test::IsolatedEnvironment env;
    writeFile(storeFilePath(), file);

    QCOMPARE(storeProblem(), QString());
    QCOMPARE(listing(kKey), expected);
}

// A lone CR (an old Mac line end, or one left by an editor) ends a line: what
// follows it on the same line is read, not dropped, and stays through a rewrite.
void TestRegistryAccess::loneCarriageReturnEndsLine_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("test");
    QTest::addColumn<QStringList>("sub");

    const QByteArray test = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]";
    const QByteArray sub = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test\\C]";
    const QStringList a{QStringLiteral("a|1|1")};
    const QStringList noValues{QStringLiteral("|0|")};
    QTest::newRow("section-after-text") << exportText(test + "\n\"a\"=\"1\"\r" + sub + "\r\"c\"=\"3\"\n") << a
                                        << QStringList{QStringLiteral("c|1|3")};
    QTest::newRow("value-after-text") << exportText(test + "\n\"a\"=\"1\"\r\"b\"=\"2\"\n" + sub + "\n")
                                      << QStringList{QStringLiteral("a|1|1"), QStringLiteral("b|1|2")} << noValues;
    QTest::newRow("after-comments-and-blank-lines")
        << exportText("; exported\r\r" + test + "\r\r; note\r\"a\"=\"1\"\r\r" + sub + "\r") << a << noValues;
    QTest::newRow("after-dword") << exportText(test + "\n\"n\"=dword:0000000a\r\"a\"=\"1\"\n" + sub + "\n")
                                 << QStringList{QStringLiteral("n|4|10"), QStringLiteral("a|1|1")} << noValues;
    QTest::newRow("hex-continuation-and-type")
        << exportText(test + "\r\"b\"=hex:01,\\\r  02\r\"e\"=hex(2):41,00,00,00\r" + sub + "\r")
        << QStringList{QStringLiteral("b|3|0102"), QStringLiteral("e|2|41000000")} << noValues;
    QTest::newRow("header-line") << QByteArray("Windows Registry Editor Version 5.00\r" + test + "\r\"a\"=\"1\"\r" + sub
                                               + "\r")
                                 << a << noValues;
    // Inside quotes every line break is part of the text.
    QTest::newRow("text-keeps-its-line-breaks")
        << exportText(test + "\r\n\"q\"=\"one\rtwo\r\nthree\nfour\"\r" + sub + "\r\n")
        << QStringList{QStringLiteral("q|1|one\rtwo\r\nthree\nfour")} << noValues;
}

void TestRegistryAccess::loneCarriageReturnEndsLine()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, test);
    QFETCH(QStringList, sub);
    korva::test::IsolatedEnvironment env;
    writeFile(storeFilePath(), file);
    const QString subKey = kKey + QStringLiteral("\\C");

    QCOMPARE(storeProblem(), QString());
    QCOMPARE(listing(kKey), test);
    QCOMPARE(listing(subKey), sub);

    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("later"), REG_SZ, QStringLiteral("x"));
    reopenFromCopy(env);
    QCOMPARE(listing(kKey), test + QStringList{QStringLiteral("later|1|x")});
    QCOMPARE(listing(subKey), sub);
}

void TestRegistryAccess::writesExportLayout()
{
    korva::test::IsolatedEnvironment env;
    CreateKey(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\A"));
    SetValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\A"), QString(), REG_SZ, QStringLiteral("say \"x\""));
    SetValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\A"), QStringLiteral("n"), REG_DWORD, 255);
    SetValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\A"), QStringLiteral("ml"), REG_SZ, QStringLiteral("a\r\nb"));
    SetValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\A"), QStringLiteral("b"), REG_BINARY,
             QByteArray(30, '\x11'));
    CreateKey(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\A\\B"));
    // A key created by itself keeps its section when sub-keys come below it;
    // the parents made on the way get none.
    CreateKey(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\E"));
    CreateKey(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\E\\F\\G"));

    const QByteArray expected = "Windows Registry Editor Version 5.00\n\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n"
                                "@=\"say \\\"x\\\"\"\n"
                                "\"n\"=dword:000000ff\n"
                                "\"ml\"=\"a\r\nb\"\n"
                                "\"b\"=hex:11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,\\\n"
                                "  11,11,11,11,11,11,11\n\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B]\n\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\E]\n\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\E\\F\\G]\n\n";
    QCOMPARE(readFile(storeFilePath()), expected);
}

// Text in the writer's own layout comes out of a read and a write unchanged.
void TestRegistryAccess::formatsWhatItReads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("written");

    const auto same = [](const char *name, const QByteArray &file) { QTest::newRow(name) << file << file; };
    same("parents-implied-by-the-path", exportText("[HKEY_LOCAL_MACHINE\\A\\B\\C]\n\"v\"=\"1\"\n\n"));
    same("empty-section-above-others",
         exportText("[HKEY_LOCAL_MACHINE\\A]\n\n[HKEY_LOCAL_MACHINE\\A\\B\\C]\n\"v\"=\"1\"\n\n"));
    same("empty-leaf", exportText("[HKEY_LOCAL_MACHINE\\A\\B]\n\n"));
    same("root-sections", exportText("[HKEY_CURRENT_USER]\n\n[HKEY_LOCAL_MACHINE]\n@=\"r\"\n\n"));
    same("multi-line-texts",
         exportText("[HKEY_LOCAL_MACHINE\\A]\n\"q\"=\"select 1\r\nfrom \\\"t\\\"\r\nwhere p = 'C:\\\\'\"\n"
                    "\"lf\"=\"a\nb\"\n\"cr\"=\"a\rb\"\n\"nul\"=hex(1):61,00,00,00,62,00,00,00\n\n"));
    same("key-500-deep", exportText(sectionOfDepth(500) + "\"v\"=\"deep\"\n\n"));
    QTest::newRow("parent-left-by-a-deletion")
        << exportText("[HKEY_LOCAL_MACHINE\\A\\B]\n[-HKEY_LOCAL_MACHINE\\A\\B]\n")
        << exportText("[HKEY_LOCAL_MACHINE\\A]\n\n");
    QTest::newRow("sections-of-one-key-merge")
        << exportText("[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"1\"\n[HKEY_LOCAL_MACHINE\\a]\n\"w\"=\"2\"\n")
        << exportText("[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"1\"\n\"w\"=\"2\"\n\n");
}

void TestRegistryAccess::formatsWhatItReads()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, written);
    const korva::regaccess::RegFileParse parsed = korva::regaccess::parseRegFile(file);
    QCOMPARE(parsed.errorLine, 0);
    const QByteArray formatted = korva::regaccess::formatRegFile(parsed.top);
    QCOMPARE(formatted.size(), written.size());
    QCOMPARE(formatted, written);
    const korva::regaccess::RegFileParse again = korva::regaccess::parseRegFile(formatted);
    QCOMPARE(again.errorLine, 0);
    QCOMPARE(dumpTree(again.top), dumpTree(parsed.top));
}

// A change made and undone through the store leaves the file byte for byte as
// it was, long texts and deep keys included.
void TestRegistryAccess::rewriteKeepsFileAsItWas()
{
    korva::test::IsolatedEnvironment env;
    QByteArray query;
    for (int i = 0; query.size() < 9000; ++i)
        query += "SELECT c" + QByteArray::number(i) + " FROM \\\"t\\\" WHERE p LIKE 'C:\\\\x%'\r\n";
    const QByteArray original = exportText("[HKEY_CURRENT_USER\\Software\\Mine]\n\"keep\"=hex(5):01,02\n\n"
                                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane]\n\n"
                                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n"
                                           "@=\"say \\\"x\\\"\"\n\"n\"=dword:000000ff\n\"b\"=hex:01,02\n\"query\"=\"")
                                + query + "\"\n\n" + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test\\Empty]\n\n"
                                + sectionOfDepth(500) + "\"v\"=\"deep\"\n\n";
    writeFile(storeFilePath(), original);

    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("added"), REG_DWORD, 1);
    const QByteArray changed = readFile(storeFilePath());
    QVERIFY(changed != original);
    QVERIFY2(changed.size() < original.size() + 100, QByteArray::number(changed.size()));
    korva::regaccess::RegFileParse expected = korva::regaccess::parseRegFile(original);
    expected.top
        .find({QStringLiteral("HKEY_LOCAL_MACHINE"), QStringLiteral("SOFTWARE"), QStringLiteral("Brisvane"),
               QStringLiteral("Test")})
        ->setValue(QStringLiteral("added"), REG_DWORD, korva::regaccess::dwordToData(1));
    QCOMPARE(dumpTree(korva::regaccess::parseRegFile(changed).top), dumpTree(expected.top));

    DeleteValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("added"));
    const QByteArray rewritten = readFile(storeFilePath());
    QCOMPARE(rewritten.size(), original.size());
    QCOMPARE(rewritten, original);
}

void TestRegistryAccess::keepsStoredOrder()
{
    korva::test::IsolatedEnvironment env;
    writeFile(storeFilePath(), exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Zeta\\Deep]\n"
                                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Alpha]\n"
                                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n"
                                          "\"c\"=\"1\"\n\"A\"=\"2\"\n\"b\"=\"3\"\n"));
    const QString brisvane = QStringLiteral("SOFTWARE\\Brisvane");
    QCOMPARE(keys(HKEY_LOCAL_MACHINE, brisvane),
             QStringList({QStringLiteral("Zeta"), QStringLiteral("Alpha"), QStringLiteral("Test")}));

    CreateKey(HKEY_LOCAL_MACHINE, brisvane + QStringLiteral("\\Beta"));
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("a"), REG_SZ, QStringLiteral("rewritten"));
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("new"), REG_SZ, QStringLiteral("4"));
    DeleteValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("C"));
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("c"), REG_SZ, QStringLiteral("back"));
    reopenFromCopy(env);

    QCOMPARE(keys(HKEY_LOCAL_MACHINE, brisvane), QStringList({QStringLiteral("Zeta"), QStringLiteral("Alpha"),
                                                              QStringLiteral("Test"), QStringLiteral("Beta")}));
    QCOMPARE(listing(kKey), QStringList({QStringLiteral("A|1|rewritten"), QStringLiteral("b|1|3"),
                                         QStringLiteral("new|1|4"), QStringLiteral("c|1|back")}));
}

void TestRegistryAccess::separators_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << QStringLiteral("SOFTWARE\\Brisvane\\A\\B");
    QTest::newRow("trailing") << QStringLiteral("SOFTWARE\\Brisvane\\A\\B\\");
    QTest::newRow("doubled") << QStringLiteral("SOFTWARE\\Brisvane\\\\A\\\\B");
    QTest::newRow("leading-and-mixed-case") << QStringLiteral("\\software\\BRISVANE\\a\\b\\\\");
}

void TestRegistryAccess::separators()
{
    QFETCH(QString, path);
    korva::test::IsolatedEnvironment env;
    writeFile(storeFilePath(), exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\A\\B\\C]\n"
                                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\A\\B]\n\"v\"=\"1\"\n"));

    QVERIFY(KeyExists(HKEY_LOCAL_MACHINE, path));
    QCOMPARE(keys(HKEY_LOCAL_MACHINE, path), QStringList{QStringLiteral("C")});
    QCOMPARE(GetValue(HKEY_LOCAL_MACHINE, path, QStringLiteral("V"), REG_SZ, QString()), QVariant(QStringLiteral("1")));
    SetValue(HKEY_LOCAL_MACHINE, path, QStringLiteral("w"), REG_DWORD, 2);
    QCOMPARE(listing(QStringLiteral("SOFTWARE\\Brisvane\\A\\B")),
             QStringList({QStringLiteral("v|1|1"), QStringLiteral("w|4|2")}));
}

void TestRegistryAccess::bufferLimits_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<bool>("readable");

    const auto hexOf = [](int count, const char *bytes) {
        QByteArray out;
        for (int i = 0; i < count; ++i)
            out += (i ? "," : "") + QByteArray(bytes);
        return out;
    };
    const QByteArray x("x");
    QTest::newRow("text-4095") << x << "\"" + QByteArray(4095, 'a') + "\"" << REG_SZ << true << true;
    QTest::newRow("text-4096") << x << "\"" + QByteArray(4096, 'a') + "\"" << REG_SZ << false << false;
    QTest::newRow("binary-4096") << x << "hex:" + hexOf(4096, "01") << REG_BINARY << true << true;
    QTest::newRow("binary-4097") << x << "hex:" + hexOf(4097, "01") << REG_BINARY << false << false;
    QTest::newRow("expandable-4095-chars") << x << "hex(2):" + hexOf(4096, "41,00") << REG_BINARY << true << true;
    QTest::newRow("expandable-4096-chars") << x << "hex(2):" + hexOf(4097, "41,00") << REG_BINARY << false << false;
    QTest::newRow("name-259") << QByteArray(259, 'n') << QByteArray("\"1\"") << REG_SZ << true << true;
    QTest::newRow("name-260") << QByteArray(260, 'n') << QByteArray("\"1\"") << REG_SZ << false << true;
}

void TestRegistryAccess::bufferLimits()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, data);
    QFETCH(int, typeCode);
    QFETCH(bool, listed);
    QFETCH(bool, readable);
    korva::test::IsolatedEnvironment env;
    writeFile(storeFilePath(), exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n\"first\"=\"1\"\n") + '"'
                                   + name + "\"=" + data + "\n\"last\"=\"2\"\n");

    const QVariant got = GetValue(HKEY_LOCAL_MACHINE, kKey, QString::fromLatin1(name), typeCode,
                                  QStringLiteral("default"));
    QCOMPARE(got != QVariant(QStringLiteral("default")), readable);
    QStringList names;
    const QList<Entry> entries = EnumValues(HKEY_LOCAL_MACHINE, kKey).value_or(QList<Entry>());
    for (const Entry &entry : entries)
        names << entry.name;
    QCOMPARE(names, listed ? QStringList({QStringLiteral("first"), QString::fromLatin1(name), QStringLiteral("last")})
                           : QStringList({QStringLiteral("first")}));
}

void TestRegistryAccess::emptyAndMissingListings()
{
    korva::test::IsolatedEnvironment env;
    QCOMPARE(storeProblem(), QString());
    QVERIFY(KeyExists(HKEY_LOCAL_MACHINE, QString()));
    QCOMPARE(keys(HKEY_LOCAL_MACHINE, QString()), QStringList{QString()});
    QVERIFY(!QFile::exists(storeFilePath()));

    writeFile(storeFilePath(), exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n"
                                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test\\Ok]\n"
                                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test\\")
                                   + QByteArray(260, 'k')
                                   + "]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test\\After]\n");
    QCOMPARE(keys(HKEY_LOCAL_MACHINE, kKey), QStringList{QStringLiteral("Ok")});
    QCOMPARE(keys(HKEY_LOCAL_MACHINE, kKey + QStringLiteral("\\Ok")), QStringList{QString()});
    QCOMPARE(keys(HKEY_LOCAL_MACHINE, kKey + QStringLiteral("\\Missing")), QStringList{QStringLiteral("<no list>")});
    QCOMPARE(listing(kKey + QStringLiteral("\\Missing")), QStringList{QStringLiteral("<no list>")});

    const std::optional<QList<Entry>> none = EnumValues(HKEY_LOCAL_MACHINE, kKey);
    QVERIFY(none && none->size() == 1);
    QCOMPARE(none->first().name, QString());
    QVERIFY(!none->first().value.isValid());

    QVERIFY(!KeyExists(kOtherRoot, QString()));
    QCOMPARE(keys(kOtherRoot, QString()), QStringList{QStringLiteral("<no list>")});
}

void TestRegistryAccess::getValueByTypeCode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<bool>("unsupported");

    const QVariant fallback(QDate(2001, 2, 3));
    QTest::newRow("type-2-on-existing-key") << QStringLiteral("t") << REG_EXPAND_SZ << fallback << true;
    QTest::newRow("type-0-on-missing-value") << QStringLiteral("nothing") << 0 << fallback << true;
    QTest::newRow("missing-value-keeps-default") << QStringLiteral("nothing") << REG_SZ << fallback << false;
    QTest::newRow("text") << QStringLiteral("t") << REG_SZ << QVariant(QStringLiteral("txt")) << false;
    QTest::newRow("expandable-as-text") << QStringLiteral("e") << REG_SZ << QVariant(QStringLiteral("%P%")) << false;
    QTest::newRow("text-as-bytes") << QStringLiteral("t") << REG_BINARY << QVariant(QByteArray("t\0x\0t\0\0\0", 8))
                                   << false;
    QTest::newRow("number-as-text") << QStringLiteral("n") << REG_SZ << fallback << false;
    QTest::newRow("text-as-number") << QStringLiteral("t") << REG_DWORD << fallback << false;
    QTest::newRow("short-dword-as-number") << QStringLiteral("short") << REG_DWORD << fallback << false;
}

void TestRegistryAccess::getValueByTypeCode()
{
    QFETCH(QString, name);
    QFETCH(int, typeCode);
    QFETCH(QVariant, expected);
    QFETCH(bool, unsupported);
    korva::test::IsolatedEnvironment env;
    writeFile(storeFilePath(), exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n\"t\"=\"txt\"\n"
                                          "\"e\"=hex(2):25,00,50,00,25,00,00,00\n\"n\"=dword:00000001\n"
                                          "\"short\"=hex(4):01,00\n"));
    const QVariant fallback(QDate(2001, 2, 3));

    korva::Error error;
    QCOMPARE(GetValue(HKEY_LOCAL_MACHINE, kKey, name, typeCode, fallback, &error), expected);
    QCOMPARE(error.number, unsupported ? 1001L : 0L);
    QCOMPARE(error.description, unsupported ? QStringLiteral("Unsupported value type") : QString());

    korva::Error missing;
    QCOMPARE(GetValue(HKEY_LOCAL_MACHINE, kKey + QStringLiteral("\\Missing"), name, typeCode, fallback, &missing),
             fallback);
    QCOMPARE(GetValue(kOtherRoot, kKey, name, typeCode, fallback, &missing), fallback);
    QVERIFY(!missing.isSet());
}

void TestRegistryAccess::createKey()
{
    korva::test::IsolatedEnvironment env;
    const QString nested = env.filePath(QStringLiteral("new/folder/HKLM.reg"));
    qputenv("KORVA_HKLM", nested.toLocal8Bit());

    korva::Error error;
    QCOMPARE(CreateKey(HKEY_LOCAL_MACHINE, kKey, &error), false);
    QVERIFY(!error.isSet());
    QVERIFY(KeyExists(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Brisvane")));
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("v"), REG_SZ, QStringLiteral("1"));

    const QByteArray before = readFile(nested);
    QVERIFY(!before.isEmpty());
    QCOMPARE(CreateKey(HKEY_LOCAL_MACHINE, QStringLiteral("software\\brisvane\\TEST"), &error), true);
    QVERIFY(!error.isSet());
    QCOMPARE(readFile(nested), before);
    QCOMPARE(listing(kKey), QStringList{QStringLiteral("v|1|1")});

    for (const QString &bad : QStringList{kKey + QStringLiteral("\\line\nbreak"), kKey + u'\\' + QString(256, u'k')}) {
        korva::Error failed;
        QCOMPARE(CreateKey(HKEY_LOCAL_MACHINE, bad, &failed), false);
        QCOMPARE(failed.number, 1001L);
        QCOMPARE(failed.description, QStringLiteral("Unable to create the registry key"));
    }
    korva::Error otherRoot;
    CreateKey(kOtherRoot, kKey, &otherRoot);
    QCOMPARE(otherRoot.number, 1001L);
    QCOMPARE(readFile(nested), before);
}

void TestRegistryAccess::writesThatDoNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<QVariant>("value");

    QTest::newRow("missing-key") << kKey + QStringLiteral("\\Missing") << REG_SZ << QVariant(QStringLiteral("x"));
    QTest::newRow("expandable-type") << kKey << REG_EXPAND_SZ << QVariant(QStringLiteral("x"));
    QTest::newRow("multi-text-type") << kKey << REG_MULTI_SZ << QVariant(QByteArray("a\0\0", 3));
    QTest::newRow("dword-not-a-number") << kKey << REG_DWORD << QVariant(QStringLiteral("abc"));
    QTest::newRow("dword-too-big") << kKey << REG_DWORD << QVariant(qint64(1) << 32);
    QTest::newRow("dword-too-small") << kKey << REG_DWORD << QVariant(-2147483649.0);
    QTest::newRow("dword-empty") << kKey << REG_DWORD << QVariant();
}

void TestRegistryAccess::writesThatDoNothing()
{
    QFETCH(QString, path);
    QFETCH(int, typeCode);
    QFETCH(QVariant, value);
    korva::test::IsolatedEnvironment env;

    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("x"), REG_SZ, QStringLiteral("x"));
    QVERIFY(!QFile::exists(storeFilePath()));
    QVERIFY(!QFile::exists(storeFilePath() + QStringLiteral(".lock")));

    CreateKey(HKEY_LOCAL_MACHINE, kKey);
    const QByteArray before = readFile(storeFilePath());
    SetValue(HKEY_LOCAL_MACHINE, path, QStringLiteral("x"), typeCode, value);
    SetValue(kOtherRoot, kKey, QStringLiteral("x"), REG_SZ, QStringLiteral("x"));
    DeleteValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("missing"));
    QCOMPARE(readFile(storeFilePath()), before);
    QCOMPARE(listing(kKey), QStringList{QStringLiteral("|0|")});
}

void TestRegistryAccess::unparsableFileIsReportedAndKept_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("line");

    QTest::newRow("not-an-export") << QByteArray("[HKEY_LOCAL_MACHINE\\SOFTWARE]\n") << 1;
    QTest::newRow("unrecognised-line") << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE]\nhello\n") << 4;
    QTest::newRow("unterminated-text") << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"a\"=\"1\"\n\"b\"=\"2\n\n") << 5;
    QTest::newRow("bad-byte-on-continuation")
        << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"b\"=hex:01,\\\n  0g\n") << 5;
    QTest::newRow("continued-past-end") << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"b\"=hex:01,\\\n") << 4;
    QTest::newRow("value-before-section") << exportText("\"a\"=\"1\"\n") << 3;
    QTest::newRow("unknown-root") << exportText("[HKLM\\SOFTWARE]\n") << 3;
    QTest::newRow("bad-dword") << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"n\"=dword:123456789\n") << 4;
    QTest::newRow("text-after-value") << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"n\"=\"1\" x\n") << 4;
    QTest::newRow("key-513-deep") << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE]\n") + sectionOfDepth(513) << 4;
    QTest::newRow("deletion-513-deep") << exportText("[-") + sectionOfDepth(513).mid(1) << 3;
    QTest::newRow("key-200000-deep") << exportText(sectionOfDepth(200000)) << 3;
    // A lone CR ends a line like any other line break.
    QTest::newRow("line-after-lone-crs") << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\"a\"=\"1\"\rhello\n") << 5;
    QTest::newRow("section-cut-by-lone-cr") << exportText("[HKEY_LOCAL_MACHINE\\SOFT\rWARE]\n") << 3;
    QTest::newRow("line-after-text-with-lone-cr")
        << exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"a\"=\"1\r2\"\nhello\n") << 6;
}

void TestRegistryAccess::unparsableFileIsReportedAndKept()
{
    QFETCH(QByteArray, file);
    QFETCH(int, line);
    korva::test::IsolatedEnvironment env;
    writeFile(storeFilePath(), file);

    const QString prefix =
        QStringLiteral("The registry file %1 could not be read: line %2: ").arg(storeFilePath()).arg(line);
    QVERIFY2(storeProblem().startsWith(prefix), qPrintable(storeProblem()));
    QVERIFY(!KeyExists(HKEY_LOCAL_MACHINE, QString()));
    QCOMPARE(keys(HKEY_LOCAL_MACHINE, QString()), QStringList{QStringLiteral("<no list>")});
    QCOMPARE(GetValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE"), QStringLiteral("a"), REG_SZ, 7), QVariant(7));

    korva::Error error;
    CreateKey(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\New"), &error);
    QCOMPARE(error.number, 1001L);
    SetValue(HKEY_LOCAL_MACHINE, QString(), QStringLiteral("a"), REG_SZ, QStringLiteral("x"));
    SetValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE"), QStringLiteral("a"), REG_SZ, QStringLiteral("x"));
    DeleteValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE"), QStringLiteral("a"));
    QCOMPARE(readFile(storeFilePath()), file);
}

void TestRegistryAccess::otherRootsSurviveRewrite()
{
    korva::test::IsolatedEnvironment env;
    writeFile(storeFilePath(), exportText("[HKEY_CURRENT_USER\\Software\\Mine]\n\"keep\"=hex(5):01,02\n\n"
                                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane\\Test]\n"));
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("v"), REG_SZ, QStringLiteral("1"));
    QVERIFY(readFile(storeFilePath())
                .startsWith(exportText("[HKEY_CURRENT_USER\\Software\\Mine]\n\"keep\"=hex(5):01,02\n\n")));
    QVERIFY(!KeyExists(kOtherRoot, QStringLiteral("Software\\Mine")));
    QCOMPARE(listing(kKey), QStringList{QStringLiteral("v|1|1")});
}

void TestRegistryAccess::staleStoreInstanceKeepsOthersValues()
{
    korva::test::IsolatedEnvironment env;
    korva::regaccess::FileRegistryStore first(storeFilePath());
    korva::regaccess::FileRegistryStore second(storeFilePath());
    const QStringList path{QStringLiteral("K")};
    const auto set = [](const QString &name) {
        return
            [name](korva::regaccess::RegistryKey &key) { return key.setValue(name, REG_DWORD, QByteArray(4, '\1')); };
    };

    QVERIFY(first.editKey(path, true, set(QStringLiteral("a"))));
    QVERIFY(second.openKey(path)); // second now holds a cached copy
    for (int i = 0; i < 20; ++i) {
        QVERIFY(first.editKey(path, false, set(QStringLiteral("f%1").arg(i))));
        QVERIFY(second.editKey(path, false, set(QStringLiteral("s%1").arg(i))));
    }
    QCOMPARE(first.openKey(path)->values().size(), 41);
    QCOMPARE(second.openKey(path)->values().size(), 41);
}

void TestRegistryAccess::twoProcessesKeepEachOthersValues()
{
    korva::test::IsolatedEnvironment env;
    QVERIFY(!CreateKey(HKEY_LOCAL_MACHINE, kKey));
    constexpr int perWriter = 40;
    QProcess writers[2];
    const QString names[2] = {QStringLiteral("left"), QStringLiteral("right")};
    for (int i = 0; i < 2; ++i)
        writers[i].start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--write-values"), names[i], QString::number(perWriter)});
    for (QProcess &writer : writers) {
        QVERIFY(writer.waitForFinished(60000));
        QCOMPARE(writer.exitCode(), 0);
    }
    QCOMPARE(storeProblem(), QString());
    const std::optional<QList<Entry>> entries = EnumValues(HKEY_LOCAL_MACHINE, kKey);
    QVERIFY(entries);
    QCOMPARE(entries->size(), 2 * perWriter);
    for (const QString &name : names)
        QCOMPARE(GetValue(HKEY_LOCAL_MACHINE, kKey, name + QString::number(perWriter - 1), REG_SZ, QString()),
                 QVariant(QStringLiteral("v%1").arg(perWriter - 1)));
}

void TestRegistryAccess::addValueTakesAFreeName()
{
    korva::test::IsolatedEnvironment env;
    const auto second = [](int attempt) { return QStringLiteral("s%1").arg(attempt); };

    // The key is made on the way; a name taken by a value of any type, in
    // any case, is passed over.
    QCOMPARE(AddValue(HKEY_LOCAL_MACHINE, kKey, REG_SZ, QStringLiteral("a"), second, 3).value_or(QString()),
             QStringLiteral("s0"));
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("S1"), REG_DWORD, 7);
    QCOMPARE(AddValue(HKEY_LOCAL_MACHINE, kKey, REG_SZ, QStringLiteral("b"), second, 3).value_or(QString()),
             QStringLiteral("s2"));
    QCOMPARE(listing(kKey),
             QStringList({QStringLiteral("s0|1|a"), QStringLiteral("S1|4|7"), QStringLiteral("s2|1|b")}));

    // Every name taken, or data SetValue would not write: nothing changes.
    const QByteArray before = readFile(storeFilePath());
    QVERIFY(!AddValue(HKEY_LOCAL_MACHINE, kKey, REG_SZ, QStringLiteral("c"), second, 3));
    QVERIFY(!AddValue(HKEY_LOCAL_MACHINE, kKey, REG_DWORD, QStringLiteral("x"), second, 9));
    QVERIFY(!AddValue(kOtherRoot, kKey, REG_SZ, QStringLiteral("c"), second, 9));
    QCOMPARE(readFile(storeFilePath()), before);
}

// Each store holds a copy of the file from before the other's write; the name
// is chosen again on the file as it stands under the lock.
void TestRegistryAccess::twoStoresChooseNamesOnFreshContents()
{
    korva::test::IsolatedEnvironment env;
    korva::regaccess::FileRegistryStore first(storeFilePath());
    korva::regaccess::FileRegistryStore second(storeFilePath());
    const QStringList path{QStringLiteral("K")};
    const auto addUnderFreeName = [](const QString &text, QString *chosen) {
        return [=](RegistryKey &key) {
            for (int i = 0;; ++i) {
                *chosen = QStringLiteral("n%1").arg(i);
                if (!key.value(*chosen))
                    return key.setValue(*chosen, REG_SZ, korva::regaccess::textToData(text));
            }
        };
    };

    QVERIFY(first.editKey(path, true, [](RegistryKey &) { return false; }));
    QVERIFY(second.openKey(path));
    QString firstName, secondName;
    QVERIFY(first.editKey(path, false, addUnderFreeName(QStringLiteral("first"), &firstName)));
    QVERIFY(second.editKey(path, false, addUnderFreeName(QStringLiteral("second"), &secondName)));
    QCOMPARE(firstName, QStringLiteral("n0"));
    QCOMPARE(secondName, QStringLiteral("n1"));
    for (korva::regaccess::FileRegistryStore *store : {&first, &second}) {
        const auto key = store->openKey(path);
        QVERIFY(key);
        QCOMPARE(valueNames(*key), QStringList({QStringLiteral("n0"), QStringLiteral("n1")}));
        QCOMPARE(korva::regaccess::textFromData(key->value(QStringLiteral("n1"))->data),
                 QStringLiteral("second") + QChar(u'\0'));
    }
}

void TestRegistryAccess::deepTreesNeedNoStack()
{
    RegistryKey top;
    RegistryKey &deepest = top.ensurePath(nestedPath(200000));
    deepest.setValue(QStringLiteral("v"), REG_DWORD, QByteArray(4, '\1'));
    {
        const RegistryKey copy(top);
        const RegistryKey *found = copy.find(nestedPath(200000));
        QVERIFY(found && found != &deepest);
        QCOMPARE(valueNames(*found), QStringList{QStringLiteral("v")});
    }
    RegistryKey assigned;
    assigned = top;
    QVERIFY(top.removeChild(QStringLiteral("K0")));
    QCOMPARE(top.childCount(), 0);
    QVERIFY(assigned.find(nestedPath(200000)));
}

void TestRegistryAccess::keyDepthLimit()
{
    korva::test::IsolatedEnvironment env;
    const QString deepest = nestedPath(512).join(u'\\');
    korva::Error error;
    QCOMPARE(CreateKey(HKEY_LOCAL_MACHINE, deepest, &error), false);
    QVERIFY(!error.isSet());
    SetValue(HKEY_LOCAL_MACHINE, deepest, QStringLiteral("v"), REG_SZ, QStringLiteral("at the limit"));
    const QByteArray before = readFile(storeFilePath());

    const QStringList tooDeepPaths{deepest + QStringLiteral("\\k"), nestedPath(20000).join(u'\\')};
    for (const QString &tooDeep : tooDeepPaths) {
        korva::Error failed;
        QCOMPARE(CreateKey(HKEY_LOCAL_MACHINE, tooDeep, &failed), false);
        QCOMPARE(failed.number, 1001L);
        QCOMPARE(failed.description, QStringLiteral("Unable to create the registry key"));
        SetValue(HKEY_LOCAL_MACHINE, tooDeep, QStringLiteral("v"), REG_SZ, QStringLiteral("x"));
    }
    QCOMPARE(readFile(storeFilePath()), before);

    // What was written at the limit reads back.
    reopenFromCopy(env);
    QCOMPARE(storeProblem(), QString());
    QCOMPARE(GetValue(HKEY_LOCAL_MACHINE, deepest, QStringLiteral("v"), REG_SZ, QString()),
             QVariant(QStringLiteral("at the limit")));
}

// Random runs of sets and deletions of values and keys, in names that differ
// only in case, against plain lists searched from end to end.
void TestRegistryAccess::deletionsMatchAModel()
{
    QRandomGenerator random(20240611);
    const auto indexOf = [](const QStringList &names, const QString &name) {
        for (qsizetype i = 0; i < names.size(); ++i)
            if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return qsizetype(-1);
    };
    for (int round = 0; round < 20; ++round) {
        QStringList values, data, keys;
        QByteArray file = exportText("");
        for (int line = 0; line < 300; ++line) {
            const QString name = (random.bounded(2) ? u'n' : u'N') + QString::number(random.bounded(12));
            const QByteArray quoted = '"' + name.toLatin1() + '"';
            const qsizetype v = indexOf(values, name);
            const qsizetype k = indexOf(keys, name);
            switch (random.bounded(4)) {
            case 0:
                file += "[HKEY_LOCAL_MACHINE\\T]\n" + quoted + "=\"" + QByteArray::number(line) + "\"\n";
                if (v < 0) {
                    values << name;
                    data << QString::number(line);
                } else {
                    data[v] = QString::number(line);
                }
                break;
            case 1:
                file += "[HKEY_LOCAL_MACHINE\\T]\n" + quoted + "=-\n";
                if (v >= 0) {
                    values.removeAt(v);
                    data.removeAt(v);
                }
                break;
            case 2:
                file += "[HKEY_LOCAL_MACHINE\\T\\" + name.toLatin1() + "]\n";
                if (k < 0)
                    keys << name;
                break;
            default:
                file += "[-HKEY_LOCAL_MACHINE\\T\\" + name.toLatin1() + "]\n";
                if (k >= 0)
                    keys.removeAt(k);
            }
        }
        const korva::regaccess::RegFileParse parsed = korva::regaccess::parseRegFile(file);
        QCOMPARE(parsed.errorLine, 0);
        const RegistryKey copy(parsed.top);
        for (const RegistryKey &top : {std::cref(parsed.top), std::cref(copy)}) {
            const RegistryKey *key = top.find({QStringLiteral("HKEY_LOCAL_MACHINE"), QStringLiteral("t")});
            QVERIFY(key);
            QCOMPARE(valueNames(*key), values);
            QCOMPARE(childNames(*key), keys);
            for (int i = 0; i < 12; ++i) {
                const QString name = QStringLiteral("n%1").arg(i);
                const qsizetype v = indexOf(values, name);
                const auto *stored = key->value(name);
                QCOMPARE(stored ? korva::regaccess::textFromData(stored->data) : QString(),
                         v < 0 ? QString() : data.at(v) + QChar(u'\0'));
                QCOMPARE(key->child(name) ? key->child(name)->name() : QString(),
                         indexOf(keys, name) < 0 ? QString() : keys.at(indexOf(keys, name)));
            }
        }
    }
}

void TestRegistryAccess::fullDiskKeepsOldFile()
{
    korva::test::IsolatedEnvironment env;
    QByteArray before = exportText("[HKEY_LOCAL_MACHINE\\SOFTWARE]\n");
    for (int i = 0; i < 200; ++i)
        before += "\"v" + QByteArray::number(i) + "\"=\"" + QByteArray(100, 'o') + "\"\n";
    writeFile(storeFilePath(), before);

    // The limit leaves room for part of the new file only.
    QProcess writer;
    writer.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--capped-write"), QString::number(before.size() + 8192)});
    QVERIFY(writer.waitForFinished(60000));
    QCOMPARE(writer.exitCode(), 0);
    QCOMPARE(writer.readAllStandardOutput(), QByteArray("refused"));

    QCOMPARE(readFile(storeFilePath()), before);
    QCOMPARE(QDir(env.path()).entryList({QStringLiteral("HKLM.reg*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("HKLM.reg")});
    QVERIFY(!KeyExists(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Big")));

    // Without the limit the same write goes through.
    writer.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--capped-write"), QStringLiteral("100000000")});
    QVERIFY(writer.waitForFinished(60000));
    QCOMPARE(writer.readAllStandardOutput(), QByteArray("written"));
    korva::regaccess::FileRegistryStore store(storeFilePath());
    const auto big = store.openKey({QStringLiteral("SOFTWARE"), QStringLiteral("Big")});
    QVERIFY(big && big->value(QStringLiteral("blob")));
    QCOMPARE(big->value(QStringLiteral("blob"))->data, kBigValue);
}

void TestRegistryAccess::strangeFileIsReported_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("fifo") << QStringLiteral("fifo");
    QTest::newRow("device") << QStringLiteral("/dev/zero");
}

void TestRegistryAccess::strangeFileIsReported()
{
    QFETCH(QString, kind);
    korva::test::IsolatedEnvironment env;
    QString path = kind;
    if (kind == QLatin1String("fifo")) {
        path = env.filePath(QStringLiteral("HKLM.reg"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    QProcess reader;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KORVA_HKLM"), path);
    reader.setProcessEnvironment(environment);
    reader.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--report-problem")});
    const bool finished = reader.waitForFinished(20000);
    if (!finished) {
        reader.kill();
        reader.waitForFinished();
    }
    QVERIFY2(finished, "the store blocked on the file");
    QCOMPARE(reader.exitStatus(), QProcess::NormalExit);
    QCOMPARE(QString::fromLocal8Bit(reader.readAllStandardOutput()),
             QStringLiteral("The registry file %1 could not be read: not a regular file|1001").arg(path));
}

void TestRegistryAccess::heldLockDelaysOnlyRealChanges()
{
    korva::test::IsolatedEnvironment env;
    CreateKey(HKEY_LOCAL_MACHINE, kKey);
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("v"), REG_SZ, QStringLiteral("1"));
    const QByteArray before = readFile(storeFilePath());

    QLockFile otherProcess(storeFilePath() + QStringLiteral(".lock"));
    QVERIFY(otherProcess.tryLock(0));

    // Writes that change nothing do not need the lock.
    korva::Error error;
    QCOMPARE(CreateKey(HKEY_LOCAL_MACHINE, kKey, &error), true);
    QCOMPARE(CreateKey(HKEY_LOCAL_MACHINE, QStringLiteral("software\\BRISVANE"), &error), true);
    QVERIFY(!error.isSet());
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("V"), REG_SZ, QStringLiteral("1"));
    DeleteValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("missing"));

    // Changes give up, leaving the file.
    for (int i = 0; i < 3; ++i)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^cannot lock ")));
    QCOMPARE(CreateKey(HKEY_LOCAL_MACHINE, kKey + QStringLiteral("\\New"), &error), false);
    QCOMPARE(error.number, 1001L);
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("v"), REG_SZ, QStringLiteral("2"));
    DeleteValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("v"));
    QCOMPARE(readFile(storeFilePath()), before);

    otherProcess.unlock();
    SetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("v"), REG_SZ, QStringLiteral("2"));
    QCOMPARE(GetValue(HKEY_LOCAL_MACHINE, kKey, QStringLiteral("v"), REG_SZ, QString()), QVariant(QStringLiteral("2")));
}

int main(int argc, char *argv[])
{
    // The test runs copies of itself as concurrent writers of one registry
    // file, as a writer that meets a full disk, and as a reader of strange files.
    if (argc == 4 && qstrcmp(argv[1], "--write-values") == 0)
        return runWriter(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    if (argc == 3 && qstrcmp(argv[1], "--capped-write") == 0)
        return runCappedWrite(QByteArray(argv[2]).toLongLong());
    if (argc == 2 && qstrcmp(argv[1], "--report-problem") == 0)
        return runReportProblem();
    QCoreApplication app(argc, argv);
    TestRegistryAccess test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_registryaccess.moc"
