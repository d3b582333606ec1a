#include "appcontext/windowcontext.h"
#include "common/demowindows.h"
#include "common/recordingmessenger.h"
#include "main/frmmain.h"
#include "platform/database.h"
#include "platform/workstationinfo.h"
#include "remote/frmremoteconnection.h"
#include "remote/modservers.h"
#include "widgets/grid.h"
#include "windows.h"

#include <QtGui/QAction>
#include <QtNetwork/QUdpSocket>
#include <QtTest/QtTest>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>

using namespace korva;

namespace {

// A SQL Server resolution service of the test's own, on 127.0.0.1 only.
class Responder : public QObject
{
public:
    explicit Responder(QStringList instances) : m_instances(std::move(instances))
    {
        m_socket.bind(QHostAddress::LocalHost, 0);
        connect(&m_socket, &QUdpSocket::readyRead, this, [this] {
            while (m_socket.hasPendingDatagrams()) {
                QByteArray request(qsizetype(m_socket.pendingDatagramSize()), Qt::Uninitialized);
                QHostAddress from;
                quint16 port = 0;
                m_socket.readDatagram(request.data(), request.size(), &from, &port);
                if (request != QByteArray(1, char(0x02)))
                    continue;
                ++requests;
                QByteArray text;
                for (const QString &i : m_instances)
                    text += "ServerName;" + i.section(u'\\', 0, 0).toLatin1() + ";InstanceName;"
                            + i.section(u'\\', 1).toLatin1() + ";IsClustered;No;Version;15.0.2000.5;tcp;1433;;";
                QByteArray reply(1, char(0x05));
                reply.append(char(text.size() & 0xFF)).append(char(text.size() >> 8)).append(text);
                m_socket.writeDatagram(reply, from, port);
            }
        });
    }
    quint16 port() const { return m_socket.localPort(); }
    int requests = 0;

private:
    QUdpSocket m_socket;
    QStringList m_instances;
};

} // namespace

class tst_frmRemoteConnection : public QObject
{
    Q_OBJECT

private:
    test::DemoWindows fx;

private Q_SLOTS:
    void initTestCase()
    {
        test::DemoWindows::Options o;
        o.subscribers = 10;
        o.programFolder = true;
        QString error;
        QVERIFY2(fx.setUp(o, &error), qPrintable(error));
    }

    void repliesOfTheResolutionService_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("servers");
        const QByteArray two = "ServerName;ALPHA;InstanceName;ZANDELORVEX;IsClustered;No;Version;15.0;tcp;1433;;"
                               "ServerName;BETA;InstanceName;MSSQLSERVER;IsClustered;No;Version;15.0;tcp;1433;;";
        QByteArray ok(1, char(0x05));
        ok.append(char(two.size() & 0xFF)).append(char(two.size() >> 8)).append(two);
        QTest::newRow("named-and-default-instance") << ok << QStringList{"ALPHA\\ZANDELORVEX", "BETA"};
        QTest::newRow("not-a-reply") << QByteArray("\x04\x00\x00", 3) << QStringList{};
        QTest::newRow("cut-short") << ok.left(20) << QStringList{};
        QTest::newRow("empty") << QByteArray() << QStringList{};
    }
    void repliesOfTheResolutionService()
    {
        QFETCH(QByteArray, reply);
        QTEST(parseServerResponse(reply), "servers");
    }

    void domainsOfHostNames()
    {
        QCOMPARE(domainOfHostName(QStringLiteral("alpha.Corp.Example")), QStringLiteral("corp.example"));
        QCOMPARE(domainOfHostName(QStringLiteral("alpha")), QString());
        QCOMPARE(domainOfHostName(QStringLiteral("10.1.2.3")), QString());
        const QStringList found{QStringLiteral("ALPHA"), QStringLiteral("BETA\\I1"), QStringLiteral("GAMMA")};
        const QHash<QString, QString> domains{{QStringLiteral("ALPHA"), QStringLiteral("sales.corp.example")},
                                              {QStringLiteral("BETA\\I1"), QStringLiteral("other.example")}};
        // Within the domain, or of a domain that cannot be known.
        QCOMPARE(serversInDomain(found, domains, QStringLiteral("CORP.example")), (QStringList{"ALPHA", "GAMMA"}));
        QCOMPARE(serversInDomain(found, domains, QStringLiteral("example")), found);
        QCOMPARE(serversInDomain(found, domains, QStringLiteral("rp.example")), QStringList{"GAMMA"});
        QCOMPARE(serversInDomain(found, domains, QString()), found);
    }

    // The domain chosen limits the servers listed, where a server's domain
    // is known from its name.
    void domainChosenLimitsTheList()
    {
        Responder responder({QStringLiteral("ALPHA\\ZANDELORVEX")});
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        frmRemoteConnection dialog(ctx);
        dialog.setDiscoveryTarget(QHostAddress::LocalHost, responder.port(), 300);
        dialog.discovery()->setNameLookup(
            [](const QHostAddress &) { return QStringLiteral("alpha.sales.corp.example"); });
        dialog.show();
        auto *domain = dialog.findChild<QComboBox *>(QStringLiteral("cmbDomain"));
        auto *list = dialog.findChild<QListWidget *>(QStringLiteral("listSQLServers"));
        auto *find = dialog.findChild<QPushButton *>(QStringLiteral("cmdFindServers"));
        domain->setEditText(QStringLiteral("corp.example"));
        QTest::mouseClick(find, Qt::LeftButton);
        QTRY_VERIFY(!dialog.isBusy());
        QCOMPARE(list->count(), 1);
        msg.clear();
        domain->setEditText(QStringLiteral("other.example"));
        QTest::mouseClick(find, Qt::LeftButton);
        QTRY_VERIFY(!dialog.isBusy());
        QCOMPARE(list->count(), 0);
        QCOMPARE(msg.messages, QStringList{QStringLiteral("No SQL servers found in the selected domain")});
    }

    // Find the servers a local responder announces, refuse one that cannot be
    // reached (keeping the server the window shows), attach to the demo server.
    void findRefuseAndAttach()
    {
        const QString computer = WorkStationInfo::instance().ComputerName();
        Responder responder({QStringLiteral("REMOTEHOST\\ZANDELORVEX"), computer + QStringLiteral("\\ZANDELORVEX")});
        test::RecordingMessenger msg;
        WindowContext ctx(msg);
        registerWindows(ctx);
        frmMain w(ctx);
        QVERIFY(w.Form_Load(QString()));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString caption = w.windowTitle();
        const QString connection = w.state().connectionString;
        auto *attach = w.findChild<QAction *>(QStringLiteral("mnuAttachRemote"));
        QVERIFY(attach->isEnabled());
        msg.clear();
        attach->trigger();
        auto *dialog = qobject_cast<frmRemoteConnection *>(ctx.openedWindow(QStringLiteral("frmRemoteConnection")));
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Connect To Remote Orvex Server"));
        dialog->setDiscoveryTarget(QHostAddress::LocalHost, responder.port(), 300);
        // No name server is asked: the domain of these cannot be known.
        dialog->discovery()->setNameLookup([](const QHostAddress &) { return QString(); });
        auto *list = dialog->findChild<QListWidget *>(QStringLiteral("listSQLServers"));
        auto *connect = dialog->findChild<QPushButton *>(QStringLiteral("cmdConnect"));
        msg.clear();
        QTest::mouseClick(connect, Qt::LeftButton);
        QCOMPARE(msg.messages, QStringList{QStringLiteral("No server selected")});

        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdFindServers")), Qt::LeftButton);
        QTRY_COMPARE(list->count(), 2);
        QTRY_VERIFY(!dialog->isBusy());
        QCOMPARE(responder.requests, 1);

        // The unreachable one: the message, the dialog stays, nothing of the main window changes.
        const int unreachable = list->item(0)->text().startsWith(u"REMOTEHOST") ? 0 : 1;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(unreachable)).center());
        msg.clear();
        QTest::mouseClick(connect, Qt::LeftButton);
        QTRY_VERIFY(!dialog->isBusy());
        QCOMPARE(msg.messages,
                 QStringList{QStringLiteral("REMOTEHOST\\ZANDELORVEX does not appear to be a Orvex server or "
                                            "you do not have rights to log into OrvexDirDB on that server")});
        QVERIFY(dialog->isVisible());
        QCOMPARE(w.windowTitle(), caption);
        QCOMPARE(w.state().connectionString, connection);
        QCOMPARE(w.state().serverName, computer);

        // The demo server: the main window starts over on it.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1 - unreachable)).center());
        msg.clear();
        QTest::mouseClick(connect, Qt::LeftButton);
        QTRY_VERIFY(!dialog->isVisible());
        QVERIFY(w.windowTitle().startsWith(caption + QStringLiteral(" - ")));
        // "DOMAIN\\server", or the server alone without a domain.
        const QString domain = dialog->findChild<QComboBox *>(QStringLiteral("cmbDomain"))->currentText();
        QCOMPARE(w.windowTitle(),
                 caption + QStringLiteral(" - ") + (domain.isEmpty() ? computer : domain + u'\\' + computer));
        QVERIFY(!w.findChild<QAction *>(QStringLiteral("mnuRegistry"))->isEnabled());
        QCOMPARE(w.state().instanceName, QStringLiteral("ZANDELORVEX"));
        QVERIFY(w.findChild<Grid *>(QStringLiteral("gridTables"))->rows() > 10);

        // Opened again: the same dialog, its lists as they were; the close box only hides it.
        attach->trigger();
        QCOMPARE(ctx.openedWindow(QStringLiteral("frmRemoteConnection")), dialog);
        QCOMPARE(list->count(), 2);
        QPointer<frmRemoteConnection> kept = dialog;
        dialog->close();
        QVERIFY(!dialog->isVisible());
        QTest::qWait(10);
        QVERIFY(kept);
        QVERIFY(w.isVisible());
    }
};

QTEST_MAIN(tst_frmRemoteConnection)
#include "tst_frmremoteconnection.moc"
