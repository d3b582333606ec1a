#include "common/recordingmessenger.h"
#include "common/testsupport.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "support/updatecheck.h"

#include <QtNetwork/QHostAddress>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QtTest>
#include <QtWidgets/QWidget>

using namespace korva;
using namespace korva::modUpdateCheck;

namespace {

const QString kHomePage = QStringLiteral("https://www.orvextools.example/Diagnostics/Talmu.htm");

// A download list as the site publishes it: one row per tool.
QByteArray listWith(const QString &version, const QString &path = QStringLiteral("/diagnostics/TALMU.htm"))
{
    return QStringLiteral("<?xml version=\"1.0\"?>\r\n<rows>\r\n"
                          "<row><cell>^/Other/Tool.htm^ifram_a</cell><cell>9.9.99</cell></row>\r\n"
                          "<row><cell>^%1^ifram_a</cell><cell>%2</cell><cell>Talmu</cell></row>\r\n</rows>\r\n")
        .arg(path, version)
        .toLatin1();
}

// An HTTP server of the test's own on 127.0.0.1: answers every request with
// the body given, with 404, or not at all.
class LocalSite : public QObject
{
public:
    enum class Mode { Serve, NotFound, Silent, Hangup };
    Mode mode = Mode::Serve;
    QByteArray body;
    QStringList paths;

    LocalSite()
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, s, [this, s] { answer(s); });
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    void answer(QTcpSocket *s)
    {
        m_request += s->readAll();
        if (!m_request.contains("\r\n\r\n"))
            return;
        paths << QString::fromLatin1(m_request.split(' ').value(1));
        m_request.clear();
        switch (mode) {
        case Mode::Silent:
            return;
        case Mode::Hangup:
            s->abort();
            return;
        case Mode::NotFound:
            s->write("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found");
            break;
        case Mode::Serve:
            s->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: "
                     + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            break;
        }
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_request;
};

} // namespace

class tst_UpdateCheck : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::IsolatedEnvironment> env;
    // The requests go straight to the test's server, whatever proxy the machine has.
    test::ScopedEnv noProxy{"http_proxy", QByteArray()};
    test::ScopedEnv noProxyUpper{"HTTP_PROXY", QByteArray()};
    test::ScopedEnv noAllProxy{"all_proxy", QByteArray()};

    void pointAt(const LocalSite &site)
    {
        auto s = openSettings();
        s->setValue(QStringLiteral("Config/ToolSiteUrl"), site.url());
        s->remove(QStringLiteral("Config/HomePageUrl"));
    }

private Q_SLOTS:
    void init() { env = std::make_unique<test::IsolatedEnvironment>(); }
    void cleanup() { env.reset(); }

    void padding_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("padded");
        QTest::newRow("one digit") << "2.0.5"
                                   << "02.0.05";
        QTest::newRow("two digits") << "2.0.15"
                                    << "02.0.015";
        QTest::newRow("three digits") << "2.0.155"
                                      << "02.0.0155";
        QTest::newRow("four digits") << "2.0.1555"
                                     << "02.0.1555";
        QTest::newRow("zero") << "0.0.0"
                              << "0.0.0";
        QTest::newRow("leading zeros read as the number") << "02.00.015"
                                                          << "02.0.015";
        QTest::newRow("too short") << "2.1"
                                   << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("no dot is one component") << "2015"
                                                 << "2015";
        QTest::newRow("empty component stays empty") << "2..15"
                                                     << "02..015";
        QTest::newRow("longer than any integer") << "2.0.123456789012345678901"
                                                 << "02.0.123456789012345678901";
    }
    void padding()
    {
        QFETCH(QString, version);
        QFETCH(QString, padded);
        QCOMPARE(PadVersionString(version), padded);
    }

    void comparison_data()
    {
        QTest::addColumn<QString>("published");
        QTest::addColumn<int>("outcome");
        QTest::newRow("next revision") << "2.0.16" << int(Outcome::Newer);
        QTest::newRow("same") << "2.0.15" << int(Outcome::UpToDate);
        QTest::newRow("older") << "2.0.14" << int(Outcome::UpToDate);
        QTest::newRow("next major") << "3.0.0" << int(Outcome::Newer);
        // Padded components differ in width: 02.0.09 sorts after 02.0.015.
        QTest::newRow("2.0.9 counts as newer") << "2.0.9" << int(Outcome::Newer);
        QTest::newRow("too short to pad") << "2.1" << int(Outcome::Unreachable);
    }
    void comparison()
    {
        QFETCH(QString, published);
        QFETCH(int, outcome);
        QCOMPARE(int(compareVersions(PadVersionString(QStringLiteral("2.0.15")), PadVersionString(published))),
                 outcome);
    }

    void findingTheToolInTheList()
    {
        // The key matches in any letter case; the version is read up to the first other character.
        QCOMPARE(latestVersionFrom(QString::fromLatin1(listWith(QStringLiteral("2.0.16"))), kHomePage, QString()),
                 QStringLiteral("02.0.016"));
        QCOMPARE(latestVersionFrom(QString::fromLatin1(listWith(QStringLiteral("2.0.16 beta"))), kHomePage, QString()),
                 QStringLiteral("02.0.016"));
        QCOMPARE(latestVersionFrom(QStringLiteral("^/DIAGNOSTICS/Talmu.htm^IFRAM_A</CELL><CELL>2.1.3"), kHomePage,
                                   QString()),
                 QStringLiteral("02.01.03"));
        // A tag of two or more characters is part of the key; a single character is not.
        const QString tagged = QStringLiteral("x Talmu^/Diagnostics/Talmu.htm^ifram_a<cell>2.0.20");
        QCOMPARE(latestVersionFrom(tagged, kHomePage, QStringLiteral("Talmu")), QStringLiteral("02.0.020"));
        QCOMPARE(latestVersionFrom(tagged, kHomePage, QStringLiteral("Other")), QString());
        QCOMPARE(latestVersionFrom(tagged, kHomePage, QStringLiteral("T")), QStringLiteral("02.0.020"));
        // Not listed, no cell after the key, a list too short, a home page without a path.
        QCOMPARE(latestVersionFrom(QString::fromLatin1(listWith(QStringLiteral("2.0.16"), QStringLiteral("/X.htm"))),
                                   kHomePage, QString()),
                 QString());
        QCOMPARE(latestVersionFrom(QStringLiteral("<cell>2.0.16</cell>^/Diagnostics/Talmu.htm^ifram_a"), kHomePage,
                                   QString()),
                 QString());
        QCOMPARE(latestVersionFrom(QStringLiteral("<cell>2.0"), kHomePage, QString()), QString());
        QCOMPARE(latestVersionFrom(QString::fromLatin1(listWith(QStringLiteral("2.0.16"))),
                                   QStringLiteral("https://www.orvextools.example/"), QString()),
                 QString());
    }

    void addressesComeFromTheSettings()
    {
        QCOMPARE(homePageUrl(), kHomePage);
        QCOMPARE(toolSiteUrl(), QStringLiteral("https://www.orvextools.example"));
        QCOMPARE(downloadListUrl(),
                 QStringLiteral("https://www.orvextools.example/SiteList/AllDownloads/AllDownloads.XML"));
        auto s = openSettings();
        s->setValue(QStringLiteral("Config/HomePageUrl"), QStringLiteral("https://tools.example.net/pages/Talmu.htm"));
        QCOMPARE(toolSiteUrl(), QStringLiteral("https://tools.example.net"));
        // Another site's page is found in that site's list under its own path.
        QCOMPARE(latestVersionFrom(QString::fromLatin1(listWith(QStringLiteral("2.0.16"), QStringLiteral("/pages/"
                                                                                                         "Talmu.htm"))),
                                   homePageUrl(), QString()),
                 QStringLiteral("02.0.016"));
        s->setValue(QStringLiteral("Config/ToolSiteUrl"), QStringLiteral("http://mirror.example"));
        QCOMPARE(downloadListUrl(), QStringLiteral("http://mirror.example/SiteList/AllDownloads/AllDownloads.XML"));
    }

    // The whole check against a site of the test's own: newer, up to date, OK and Cancel.
    void checkTellsTheUserAndOpensTheHomePage()
    {
        QVERIFY(PadVersionString(programVersion()) < PadVersionString(QStringLiteral("99.0.0")));
        LocalSite site;
        pointAt(site);
        test::RecordingMessenger msg;
        QWidget owner;
        UpdateCheck check(msg, &owner);
        QList<QUrl> opened;
        check.setUrlOpener([&](const QUrl &u) {
            opened << u;
            return true;
        });

        site.body = listWith(QStringLiteral("99.0.0"));
        msg.answers.enqueue(true);
        check.checkForUpdatedVersion_Foreground(kHomePage, QString());
        // The call comes back at once; the download goes on with the busy pointer shown.
        QVERIFY(check.isRunning());
        QCOMPARE(owner.cursor().shape(), Qt::WaitCursor);
        QSignalSpy done(&check, &UpdateCheck::done);
        QVERIFY(done.wait(10000));
        QCOMPARE(owner.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(site.paths, QStringList{QStringLiteral("/SiteList/AllDownloads/AllDownloads.XML")});
        QCOMPARE(msg.titles, QStringList{QStringLiteral("Updated version is available")});
        QCOMPARE(msg.messages,
                 QStringList{QStringLiteral("An updated version of this tool is available on ") + site.url()
                             + QStringLiteral(".  Click OK to open the application home page now")});
        QCOMPARE(opened, QList<QUrl>{QUrl(kHomePage)});

        // Cancel leaves the home page closed.
        msg.clear();
        opened.clear();
        msg.answers.enqueue(false);
        check.checkForUpdatedVersion_Foreground(kHomePage, QString());
        QVERIFY(done.wait(10000));
        QCOMPARE(msg.messages.size(), 1);
        QVERIFY(opened.isEmpty());

        // The program's own version published: nothing to offer.
        msg.clear();
        site.body = listWith(programVersion());
        check.checkForUpdatedVersion_Foreground(kHomePage, QString());
        QVERIFY(done.wait(10000));
        QCOMPARE(msg.messages,
                 QStringList{QStringLiteral("You have the most up to date version of this tool installed")});
        QVERIFY(opened.isEmpty());
    }

    // No site, an error page, a site that never answers or hangs up: the user
    // is told where to look, within the time-out, and may check again.
    void unreachableSite_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("not found") << int(LocalSite::Mode::NotFound);
        QTest::newRow("never answers") << int(LocalSite::Mode::Silent);
        QTest::newRow("hangs up") << int(LocalSite::Mode::Hangup);
        QTest::newRow("list without the tool") << int(LocalSite::Mode::Serve);
    }
    void unreachableSite()
    {
        QFETCH(int, mode);
        LocalSite site;
        site.mode = LocalSite::Mode(mode);
        site.body = listWith(QStringLiteral("99.0.0"), QStringLiteral("/Elsewhere.htm"));
        pointAt(site);
        test::RecordingMessenger msg;
        UpdateCheck check(msg, nullptr);
        check.setTimeout(400);
        QSignalSpy done(&check, &UpdateCheck::done);
        check.checkForUpdatedVersion_Foreground(kHomePage, QString());
        // A second request while the first runs is ignored.
        check.checkForUpdatedVersion_Foreground(kHomePage, QString());
        QVERIFY(done.wait(10000));
        QTest::qWait(50);
        QCOMPARE(done.size(), 1);
        QCOMPARE(msg.messages,
                 QStringList{
                     QStringLiteral("Unable to contact application home page to check for version.  You can access "
                                    "the home page and check for updated versions of all Zandel Orvex tools by "
                                    "going to ")
                     + site.url()});
        QVERIFY(!check.isRunning());
    }

    void closedPortIsUnreachable()
    {
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }
        openSettings()->setValue(QStringLiteral("Config/ToolSiteUrl"), QStringLiteral("http://127.0.0.1:%1").arg(port));
        test::RecordingMessenger msg;
        UpdateCheck check(msg, nullptr);
        QSignalSpy done(&check, &UpdateCheck::done);
        check.checkForUpdatedVersion_Foreground(kHomePage, QString());
        QVERIFY(done.wait(10000));
        QCOMPARE(msg.messages.size(), 1);
        QVERIFY(msg.messages.first().startsWith(QStringLiteral("Unable to contact application home page")));
    }
};

QTEST_MAIN(tst_UpdateCheck)
#include "tst_updatecheck.moc"
