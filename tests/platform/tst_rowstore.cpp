#include "platform/allocator.h"
#include "platform/rowstore.h"

#include <QtTest/QtTest>

#include <cstdlib>
#include <thread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace korva::db;

class tst_RowStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Rows of mixed cells, enough of them to fill several chunks, read back
    // cell by cell: every offset and type lands where it was put.
    void cellsComeBackAcrossChunks()
    {
        RowStore store;
        store.setColumns({QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("n"), QStringLiteral("x"),
                          QStringLiteral("blob")});
        const QByteArray big(5 * 1024 * 1024, 'q'); // larger than one chunk
        for (int r = 0; r < 20000; ++r) {
            store.beginRow();
            store.addText(QStringLiteral("ID-%1").arg(r));
            if (r % 3 == 0)
                store.addNull();
            else
                store.addText(QStringLiteral("name %1 ").arg(r).repeated(r % 7));
            store.addInteger(r == 7 ? std::numeric_limits<qint64>::min() : r * 1000);
            store.addReal(r / 4.0);
            if (r == 12345)
                store.addBlob(big.constData(), big.size());
            else
                store.addBlob("\x01\xff", 2);
            QVERIFY(store.endRow());
        }
        QCOMPARE(store.rowCount(), 20000);
        for (int r : {0, 1, 2, 7, 999, 12344, 12345, 12346, 19999}) {
            QCOMPARE(store.text(r, 0), QStringLiteral("ID-%1").arg(r));
            QCOMPARE(store.isNull(r, 1), r % 3 == 0);
            if (r % 3)
                QCOMPARE(store.text(r, 1), QStringLiteral("name %1 ").arg(r).repeated(r % 7));
            QCOMPARE(store.value(r, 2).toLongLong(), r == 7 ? std::numeric_limits<qint64>::min() : r * 1000);
            QCOMPARE(store.value(r, 3).toDouble(), r / 4.0);
            QCOMPARE(store.type(r, 4), CellType::Blob);
            QCOMPARE(store.bytes(r, 4).size(), r == 12345 ? big.size() : 2);
        }
        QCOMPARE(store.text(1, 4), QStringLiteral("0x01FF"));
        QVERIFY(store.contentBytes() > big.size());
        // Outside the store: nothing, never a crash.
        QVERIFY(store.text(20000, 0).isNull());
        QVERIFY(!store.value(0, 5).isValid());
    }

    // Batches read on another thread join a store without copying; every
    // cell, narrow or wide row, reads back in order, and rows added after the
    // batches go on where they ended.
    void batchesJoinAStoreInOrder()
    {
        auto fill = [](RowStore &store, int from, int count) {
            for (int r = from; r < from + count; ++r) {
                store.beginRow();
                store.addInteger(r);
                if (r % 500 == 7)
                    store.addText(QStringLiteral("wide %1 ").arg(r).repeated(2000)); // over 8 KB
                else
                    store.addText(QStringLiteral("row %1").arg(r));
                store.endRow();
            }
        };
        const QStringList columns{QStringLiteral("n"), QStringLiteral("text")};
        RowStore whole;
        whole.setColumns(columns);
        fill(whole, 0, 10);
        int next = 10;
        for (int batchNo = 0; batchNo < 4; ++batchNo) {
            RowStore batch;
            batch.setColumns(columns);
            fill(batch, next, 9000); // the index crosses its blocks of 32,768 entries
            batch.shrinkToFit();
            next += 9000;
            whole.append(std::move(batch));
            QCOMPARE(batch.rowCount(), 0);
        }
        fill(whole, next, 5);
        next += 5;
        QCOMPARE(whole.rowCount(), next);
        for (int r = 0; r < next; ++r) {
            QCOMPARE(whole.value(r, 0).toInt(), r);
            const QString expected = r % 500 == 7 ? QStringLiteral("wide %1 ").arg(r).repeated(2000)
                                                  : QStringLiteral("row %1").arg(r);
            if (whole.text(r, 1) != expected)
                QFAIL(qPrintable(QStringLiteral("row %1 reads %2").arg(r).arg(whole.text(r, 1).left(40))));
        }
        QVERIFY(whole.textMatches(7, 1, QByteArrayLiteral("wide 7"), QStringLiteral("WIDE 7"), false));
        QVERIFY(whole.allocatedBytes() < whole.contentBytes() * 2);
        // A walk down a column sees what reading cell by cell sees.
        qsizetype walked = 0;
        whole.forEachStoredCell(1, [&](qsizetype r, std::string_view bytes, CellType type, bool replaced) {
            std::string_view one;
            CellType oneType;
            CellBuffer buffer;
            if (!replaced && whole.storedCell(r, 1, &one, &oneType, &buffer) && one == bytes && oneType == type)
                ++walked;
        });
        QCOMPARE(walked, whole.rowCount());
    }

    // Memory a store lets go (chunks and blocks of row index) is used by the
    // next ones: a batch of a few rows keeps neither a large chunk nor a
    // large block of index, and gives back no short block for a full one;
    // stores filled at once on two threads, from memory others let go, each
    // keep their own rows, also once joined into one.
    void chunksLetGoAreReusedWhole()
    {
        const QStringList columns{QStringLiteral("n"), QStringLiteral("text")};
        auto fill = [&](RowStore &store, QString tag, int count) {
            store.setColumns(columns);
            store.setFirstChunkSize(RowStore::kReusedChunk);
            for (int r = 0; r < count; ++r) {
                store.beginRow();
                store.addInteger(r);
                store.addText(tag + QString::number(r));
                store.endRow();
            }
        };
        for (int round = 0; round < 3; ++round) {
            {
                RowStore few; // a huge chunk, mostly empty, exchanged for an exact one
                fill(few, QStringLiteral("few "), 10);
                few.shrinkToFit();
                QVERIFY2(few.allocatedBytes() < 16 * 1024, qPrintable(QString::number(few.allocatedBytes())));
                QCOMPARE(few.text(9, 1), QStringLiteral("few 9"));
                RowStore many; // several huge chunks
                fill(many, QStringLiteral("many "), 300000);
            }
            RowStore a, b;
            std::thread other([&] { fill(b, QStringLiteral("b "), 250000); });
            fill(a, QStringLiteral("a "), 250000);
            other.join();
            for (int r = 0; r < 250000; r += 997) {
                QCOMPARE(a.text(r, 1), QStringLiteral("a %1").arg(r));
                QCOMPARE(b.text(r, 1), QStringLiteral("b %1").arg(r));
            }
            QCOMPARE(a.text(249999, 1), QStringLiteral("a 249999"));
            QCOMPARE(b.value(249999, 0).toInt(), 249999);
            RowStore whole;
            whole.setColumns(columns);
            whole.append(std::move(a));
            whole.append(std::move(b));
            QCOMPARE(whole.rowCount(), 500000);
            for (int r = 0; r < 250000; r += 991) {
                QCOMPARE(whole.text(r, 1), QStringLiteral("a %1").arg(r));
                QCOMPARE(whole.text(250000 + r, 1), QStringLiteral("b %1").arg(r));
            }
            QCOMPARE(whole.text(499999, 1), QStringLiteral("b 249999"));
        }
    }

    // Cells kept in a compact form (numbers, dates, GUIDs, digits, repeated
    // texts) read back as exactly the text given, and texts that only nearly
    // have such a form are kept as they are. Batches with their own repeated
    // texts join a store without mixing up whose entry is whose.
    void everyCellReadsBackAsGiven()
    {
        const QStringList texts{
            QStringLiteral("2005-06-01 00:00:38.000"), QStringLiteral("2005-06-01 23:59:59"),
            QStringLiteral("1999-12-31"), QStringLiteral("2005-6-01 00:00:38.000"), QStringLiteral("2005-16-01"),
            QStringLiteral("2005-06-01T00:00:38"), QStringLiteral("{8A1B2C3D-0000-4E5F-9A8B-0123456789AB}"),
            QStringLiteral("8a1b2c3d-0000-4e5f-9a8b-0123456789ab"), QStringLiteral("{8a1B2C3D-0000-4E5F-9A8B-0123456789AB}"),
            QStringLiteral("00000000-0000-0000-0000-000000000000"), QStringLiteral("8A1B2C3D-0000-4E5F-9A8B-0123456789AG"),
            QStringLiteral("0"), QStringLiteral("0012"), QStringLiteral("15552819998"), QStringLiteral("123456789012345"),
            QStringLiteral("1234567890123456"), QStringLiteral("-5"), QString(), QStringLiteral("Forwarded"),
            QStringLiteral("Caller hung up"), QString(QChar(0xFEFF)) + QStringLiteral("x"), QStringLiteral("Zoë"),
            QStringLiteral("a fairly long text that is kept in the row itself, past fifteen bytes"),
            QStringLiteral("2005-06-0x"), QStringLiteral("20a5-06-01 00:00:38.000"),
            // Fields beyond what their bits hold, and other near-dates.
            QStringLiteral("2005-06-01 00:75:00.000"), QStringLiteral("1999-12-31 23:59:99"),
            QStringLiteral("2005-06-01 31:63:63.999"), QStringLiteral("2005-06-3a"), QStringLiteral("2005-06-01 00:00:38,000"),
            QStringLiteral("9999-15-31 23:59:59.999"), QStringLiteral("2005-06-01 00:0/:38.000")};
        const QList<qint64> numbers{0, 1, -1, 127, 128, -128, -129, 32767, 32768, -32769, 1 << 23, qint64(1) << 40,
                                    std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()};
        const QStringList columns{QStringLiteral("text"), QStringLiteral("n"), QStringLiteral("kind")};
        auto fill = [&](RowStore &store, int from, int count) {
            for (int r = from; r < from + count; ++r) {
                store.beginRow();
                store.addText(texts[r % texts.size()]);
                store.addInteger(numbers[r % numbers.size()]);
                // Few distinct texts in one batch, others in the next: each batch's own entries.
                store.addText(QStringLiteral("kind %1").arg((r / 1000) * 10 + r % 7));
                QVERIFY(store.endRow());
            }
        };
        RowStore whole;
        whole.setColumns(columns);
        for (int batchNo = 0; batchNo < 3; ++batchNo) {
            RowStore batch;
            batch.setColumns(columns);
            batch.setCompactText(batchNo != 1); // a batch kept as read joins packed ones
            fill(batch, batchNo * 1000, 1000);
            batch.shrinkToFit();
            whole.append(std::move(batch));
        }
        fill(whole, 3000, 500); // rows added after the batches have entries of their own
        QCOMPARE(whole.rowCount(), 3500);
        for (int r = 0; r < 3500; ++r) {
            const QString text = texts[r % texts.size()];
            if (whole.text(r, 0) != text)
                QFAIL(qPrintable(QStringLiteral("row %1 reads %2 for %3").arg(r).arg(whole.text(r, 0), text)));
            QCOMPARE(whole.value(r, 1).toLongLong(), numbers[r % numbers.size()]);
            QCOMPARE(whole.text(r, 1), QString::number(numbers[r % numbers.size()]));
            QCOMPARE(whole.text(r, 2), QStringLiteral("kind %1").arg((r / 1000) * 10 + r % 7));
            QCOMPARE(whole.type(r, 0), CellType::Text);
            QCOMPARE(whole.type(r, 1), CellType::Integer);
        }
        // A walk down each column sees the same texts as reading cell by cell.
        for (int c = 0; c < 3; ++c) {
            qsizetype same = 0;
            whole.forEachCell(c, [&](qsizetype r, const CellRef &ref) {
                if (QByteArray(ref.bytes.data(), qsizetype(ref.bytes.size())) == whole.bytes(r, c))
                    ++same;
            });
            QCOMPARE(same, whole.rowCount());
        }
        QVERIFY(whole.textMatches(0, 0, QByteArrayLiteral("06-01 00"), QStringLiteral("06-01 00"), false));
        QVERIFY(whole.textMatches(6, 0, QByteArrayLiteral("{8a1b2c3d-0000-4e5f-9a8b-0123456789ab}"),
                                  QStringLiteral("{8a1b2c3d-0000-4e5f-9a8b-0123456789ab}"), true));
        // The same GUID in the batch kept as read.
        int unpackedGuid = 1000;
        while (unpackedGuid % texts.size() != 6)
            ++unpackedGuid;
        QVERIFY(whole.textMatches(unpackedGuid, 0, QByteArrayLiteral("4e5f-9a8b"), QStringLiteral("4e5f-9a8b"), false));
        QVERIFY(!whole.textMatches(unpackedGuid, 0, QByteArrayLiteral("4e5f-9a8c"), QStringLiteral("4e5f-9a8c"), false));
        // A walk along a row finds what asking cell by cell finds.
        for (const QString &needle : {QStringLiteral("06-01"), QStringLiteral("KIND 1"), QStringLiteral("-5"),
                                      QStringLiteral("8a1b"), QStringLiteral("1")}) {
            const QByteArray lower = needle.toLower().toUtf8();
            for (int r = 0; r < 3500; r += 3)
                for (int from = 0; from < 3; ++from) {
                    int expected = -1;
                    for (int c = from; c < 3 && expected < 0; ++c)
                        if (whole.textMatches(r, c, lower, needle, false))
                            expected = c;
                    if (whole.firstMatchInRow(r, from, 2, lower, needle, false) != expected)
                        QFAIL(qPrintable(QStringLiteral("row %1 from %2, %3").arg(r).arg(from).arg(needle)));
                }
        }

        // Texts that do not repeat stay in the rows, and still read back.
        RowStore unique;
        unique.setColumns({QStringLiteral("name")});
        for (int r = 0; r < 5000; ++r)
            unique.appendRow({QStringLiteral("name %1").arg(r * 7919)});
        for (int r = 0; r < 5000; r += 97)
            QCOMPARE(unique.text(r, 0), QStringLiteral("name %1").arg(r * 7919));
        unique.shrinkToFit();
        qsizetype textBytes = 0;
        for (int r = 0; r < 5000; ++r)
            textBytes += unique.bytes(r, 0).size();
        // Each text once, a tag and the row's index; a dictionary of them all would cost as much again.
        QVERIFY2(unique.allocatedBytes() < textBytes + 5000 * 5 + textBytes / 2,
                 qPrintable(QStringLiteral("%1 bytes for %2 of text").arg(unique.allocatedBytes()).arg(textBytes)));
    }

    // Runs of digits and GUIDs are recognised a word at a time. Every byte
    // position gets the bytes just outside the digits and letters (and the
    // same with the high bit set): each text reads back as given, and only
    // the well-formed ones are packed.
    void packedFormsKeepEveryByte()
    {
        const QByteArray near("/0 9:@AFG`afg\xb0\xb9\xc1\xe6", 18);
        RowStore store;
        store.setColumns({QStringLiteral("text")});
        QList<QByteArray> given;
        auto add = [&](const QByteArray &text) {
            store.beginRow();
            store.addText(text.constData(), text.size());
            QVERIFY(store.endRow());
            given.append(text);
        };
        for (int length = 1; length <= 17; ++length) {
            const QByteArray digits(length, '7');
            add(digits);
            for (int at = 0; at < length; ++at)
                for (char c : near) {
                    QByteArray text = digits;
                    text[at] = c;
                    add(text);
                }
        }
        for (const QByteArray &guid : {QByteArray("{8A1B2C3D-0000-4E5F-9A8B-0123456789AB}"),
                                       QByteArray("8a1b2c3d-0000-4e5f-9a8b-0123456789ab")}) {
            add(guid);
            for (int at = 0; at < guid.size(); ++at)
                for (char c : near) {
                    QByteArray text = guid;
                    text[at] = c;
                    add(text);
                }
        }
        for (qsizetype r = 0; r < store.rowCount(); ++r)
            if (store.bytes(r, 0) != given[r])
                QFAIL(qPrintable(QStringLiteral("row %1: %2 read back as %3")
                                     .arg(r)
                                     .arg(QString::fromLatin1(given[r].toHex()),
                                          QString::fromLatin1(store.bytes(r, 0).toHex()))));

        // What a cell takes: a tag and the packed bytes. A short text not
        // packed goes to the column's dictionary (a tag and its entry's
        // number), one of a GUID's length stays as it came (a tag, its length, the text).
        auto cost = [](const QByteArray &text) {
            RowStore one;
            one.setColumns({QStringLiteral("text")});
            one.beginRow();
            one.addText(text.constData(), text.size());
            one.endRow();
            return one.contentBytes();
        };
        QCOMPARE(cost("0123456789"), 1 + 5);
        QCOMPARE(cost("987654321098765"), 1 + 8);
        QCOMPARE(cost("9876543210987650"), 1 + 1); // sixteen digits are not packed
        QCOMPARE(cost("98765432:"), 1 + 1);
        QCOMPARE(cost("{8A1B2C3D-0000-4E5F-9A8B-0123456789AB}"), 1 + 16);
        QCOMPARE(cost("8a1b2c3d-0000-4e5f-9a8b-0123456789ab"), 1 + 16);
        QCOMPARE(cost("8a1b2c3d-0000-4e5f-9a8b-0123456789aB"), 2 + 36); // mixed case
        QCOMPARE(cost("8a1b2c3d-0000-4e5f-9a8b-0123456789a`"), 2 + 36);
        QCOMPARE(cost("8a1b2c3d-0000-4e5f-9a8b+0123456789ab"), 2 + 36);
    }

    void rowsArePaddedOrCutToTheColumns()
    {
        RowStore store;
        store.setColumns({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        store.appendRow({QStringLiteral("only")});
        store.appendRow({1, 2, 3, 4, 5});
        QCOMPARE(store.rowCount(), 2);
        QVERIFY(store.isNull(0, 1));
        QVERIFY(store.isNull(0, 2));
        QCOMPARE(store.text(1, 2), QStringLiteral("3"));
        QVERIFY(store.text(1, 3).isNull());
    }

    // The search compares plain ASCII cells on their bytes and everything
    // else as text; both must give the same answers.
    void searchMatchesWithoutRegardToCase_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<bool>("expected");
        QTest::newRow("ascii-exact") << "John Smith"
                                     << "JOHN SMITH" << true << true;
        QTest::newRow("ascii-exact-longer") << "John Smith"
                                            << "John Smit" << true << false;
        QTest::newRow("ascii-contains") << "John Smith"
                                        << "n sm" << false << true;
        QTest::newRow("ascii-at-the-end") << "John Smith"
                                          << "ITH" << false << true;
        QTest::newRow("ascii-empty-needle") << "abc"
                                            << "" << false << true;
        QTest::newRow("ascii-needle-too-long") << "ab"
                                               << "abc" << false << false;
        QTest::newRow("accented-exact") << "Zoë Núñez"
                                        << "ZOË NÚÑEZ" << true << true;
        QTest::newRow("accented-contains") << "Łukasz Ångström"
                                           << "ångs" << false << true;
        QTest::newRow("accented-no-match") << "Zoë"
                                           << "Zoe" << true << false;
        QTest::newRow("cjk") << "山田 花子"
                             << "花子" << false << true;
        QTest::newRow("ascii-needle-in-non-ascii-cell") << "Café Central"
                                                        << "CENTRAL" << false << true;
        QTest::newRow("bom-kept") << QString(QChar(0xFEFF)) + QStringLiteral("x") << "x" << true << false;
        // Cells kept in a compact form are searched as the text they show.
        QTest::newRow("guid-contains") << "{8A1B2C3D-0000-4E5F-9A8B-0123456789AB}"
                                       << "2c3d-0000" << false << true;
        QTest::newRow("guid-exact") << "8a1b2c3d-0000-4e5f-9a8b-0123456789ab"
                                    << "8A1B2C3D-0000-4E5F-9A8B-0123456789AB" << true << true;
        QTest::newRow("guid-other-letter") << "{8A1B2C3D-0000-4E5F-9A8B-0123456789AB}"
                                           << "2c3g" << false << false;
        QTest::newRow("date-contains") << "2005-06-01 00:00:38.000"
                                       << "01 00:00" << false << true;
        QTest::newRow("digits-contains") << "15552819998"
                                         << "2819" << false << true;
        QTest::newRow("digits-and-a-letter") << "15552819998"
                                             << "281a" << false << false;
    }
    void searchMatchesWithoutRegardToCase()
    {
        QFETCH(QString, cell);
        QFETCH(QString, needle);
        QFETCH(bool, exact);
        QFETCH(bool, expected);
        RowStore store;
        store.setColumns({QStringLiteral("v")});
        store.appendRow({cell});
        QCOMPARE(store.text(0, 0), cell);
        QCOMPARE(store.textMatches(0, 0, needle.toLower().toUtf8(), needle, exact), expected);
        // A reader's look at the text before storing it never rules out a
        // match, and a store keeping only matches keeps just this row.
        const auto filter = std::make_shared<const RowFilter>(needle, exact);
        const QByteArray utf8 = cell.toUtf8();
        if (expected)
            QVERIFY(filter->textMayMatch(utf8.constData(), utf8.size()));
        RowStore kept;
        kept.setColumns({QStringLiteral("v")});
        kept.keepOnlyMatching(filter);
        kept.appendRow({cell});
        QCOMPARE(kept.rowCount(), expected ? 1 : 0);
        QCOMPARE(kept.rowsRead(), 1);
        // An edited cell is compared by its new text.
        store.setValue(0, 0, QStringLiteral("replaced"));
        QCOMPARE(store.textMatches(0, 0, QByteArrayLiteral("replaced"), QStringLiteral("REPLACED"), true), true);
    }

    // A search's store keeps only the rows with a match, and knows where each
    // came: rows dropped after opening a chunk of their own, rows ruled out
    // before they were written, rows kept before the filter came, and a batch
    // joining the store all leave the same rows a full store would match.
    void keepsOnlyMatchingRowsAndTheirPlaces()
    {
        const QStringList columns{QStringLiteral("name"), QStringLiteral("n"), QStringLiteral("note")};
        auto addRow = [](RowStore &store, int r) {
            store.beginRow();
            store.addText(QStringLiteral("name %1").arg(r));
            store.addInteger(r * 37);
            if (r % 5 == 0)
                store.addNull();
            else // now and then a text long enough to open a chunk
                store.addText(QString(r % 97 == 3 ? 40000 : 20, QChar(u'a' + r % 26)) + QStringLiteral(" end"));
            QVERIFY(store.endRow());
        };
        for (const QString &needle : {QStringLiteral("NAME 1"), QStringLiteral("111"), QStringLiteral("kkk"),
                                      QStringLiteral("zz-nowhere")}) {
            const auto filter = std::make_shared<const RowFilter>(needle, false);
            RowStore full, kept, batch;
            full.setColumns(columns);
            kept.setColumns(columns);
            batch.setColumns(columns);
            kept.setCompactText(false);
            for (int r = 0; r < 10; ++r)
                addRow(kept, r); // kept whole, before the search began
            kept.keepOnlyMatching(filter);
            batch.keepOnlyMatching(filter);
            for (int r = 0; r < 3000; ++r) {
                addRow(full, r);
                if (r < 10)
                    continue;
                RowStore &into = r < 2000 ? kept : batch;
                if (r % 11 == 0 && full.firstMatchInRow(r, 0, 2, *filter) < 0)
                    into.skipRow(); // a reader that ruled it out itself
                else
                    addRow(into, r);
            }
            kept.append(std::move(batch));
            QList<qsizetype> expected;
            for (qsizetype r = 0; r < full.rowCount(); ++r)
                if (r < 10 || full.firstMatchInRow(r, 0, 2, *filter) >= 0)
                    expected << r;
            QCOMPARE(kept.rowsRead(), 3000);
            QCOMPARE(kept.rowCount(), expected.size());
            for (qsizetype i = 0; i < kept.rowCount(); ++i) {
                const qsizetype r = expected[i];
                QCOMPARE(kept.sourceRow(i), r);
                for (int c = 0; c < 3; ++c)
                    QCOMPARE(kept.text(i, c), full.text(r, c));
            }
        }
        // Rows left out just where the row index starts a new block of it.
        RowStore edge;
        edge.setColumns({QStringLiteral("v")});
        edge.keepOnlyMatching(std::make_shared<const RowFilter>(QStringLiteral("keep"), false));
        const qsizetype block = qsizetype(BlockVector<std::uint32_t>::kBlock);
        QList<qsizetype> keptAfter;
        for (qsizetype r = 0; r < block + 20; ++r) {
            const bool keep = r < block || r % 7 == 0;
            if (keep && r >= block)
                keptAfter << r;
            edge.appendRow({keep ? QStringLiteral("keep %1").arg(r) : QStringLiteral("drop")});
        }
        QCOMPARE(edge.rowCount(), block + keptAfter.size());
        for (qsizetype i = 0; i < keptAfter.size(); ++i) {
            QCOMPARE(edge.sourceRow(block + i), keptAfter[i]);
            QCOMPARE(edge.text(block + i, 0), QStringLiteral("keep %1").arg(keptAfter[i]));
        }
        QCOMPARE(edge.text(block - 1, 0), QStringLiteral("keep %1").arg(block - 1));
    }

    // Once a large block has gone back to the system, a block of a few MB
    // (a view's record of its rows, growing) is still mapped on its own, so
    // that it grows without being copied, instead of coming from the heap.
    void largeBlocksStayMappedAfterALargeOneIsFreed()
    {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
        QVERIFY(korva::setUpAllocator());
        void *large = std::malloc(24 << 20);
        QVERIFY(large);
        static_cast<char *>(large)[0] = 1;
        std::free(large);
        const std::size_t mappedBefore = mallinfo2().hblks;
        void *record = nullptr;
        for (std::size_t size = 64; size <= (8u << 20); size *= 2) {
            record = std::realloc(record, size);
            QVERIFY(record);
            static_cast<char *>(record)[size - 1] = 1;
        }
        QCOMPARE(mallinfo2().hblks, mappedBefore + 1);
        std::free(record);
#else
        QVERIFY(!korva::setUpAllocator());
        QSKIP("no setting of the allocator here");
#endif
    }

    // Cell ends are packed into 29 bits: a row beyond that is refused whole,
    // and the rows around it are unharmed.
    void oversizedRowIsRefused()
    {
        RowStore store;
        store.setColumns({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        store.appendRow({QStringLiteral("before"), 1, 2});
        const QByteArray half(300 * 1024 * 1024, 'z');
        store.beginRow();
        store.addText(QStringLiteral("big"));
        store.addBlob(half.constData(), half.size());
        store.addBlob(half.constData(), half.size());
        QVERIFY(!store.endRow());
        store.appendRow({QStringLiteral("after"), 3, 4});
        QCOMPARE(store.rowCount(), 2);
        QCOMPARE(store.text(1, 0), QStringLiteral("after"));
        QCOMPARE(store.text(1, 2), QStringLiteral("4"));
    }
};

QTEST_GUILESS_MAIN(tst_RowStore)
#include "tst_rowstore.moc"
