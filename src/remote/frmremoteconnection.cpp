#include "remote/frmremoteconnection.h"

#include "appcontext/windowcontext.h"
#include "platform/connectionstring.h"
#include "platform/database.h"
#include "platform/odbcsession.h"
#include "remote/modservers.h"
#include "support/messenger.h"

#include <QtGui/QCloseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>

namespace korva {

namespace {

QString remoteConnectionString(const QString &server)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                          "Initial Catalog=OrvexDirDB;Data Source=")
           + server;
}

} // namespace

frmRemoteConnection::frmRemoteConnection(WindowContext &context, QWidget *parent)
    : QDialog(parent), m_context(context), m_discovery(new ServerDiscovery(this))
{
    setObjectName(QStringLiteral("frmRemoteConnection"));
    setWindowTitle(QStringLiteral("Connect To Remote Orvex Server"));
    setModal(true);

    m_cmbDomain = new QComboBox(this);
    m_cmbDomain->setObjectName(QStringLiteral("cmbDomain"));
    m_cmbDomain->setEditable(true); // a domain that is not listed can be typed
    auto *domainLabel = new QLabel(QStringLiteral("Domain:"), this);
    domainLabel->setBuddy(m_cmbDomain);
    m_cmdFindServers = new QPushButton(QStringLiteral("Find &Servers"), this);
    m_cmdFindServers->setObjectName(QStringLiteral("cmdFindServers"));
    m_listSQLServers = new QListWidget(this);
    m_listSQLServers->setObjectName(QStringLiteral("listSQLServers"));
    auto *serversLabel = new QLabel(QStringLiteral("Servers in domain running SQL:"), this);
    serversLabel->setBuddy(m_listSQLServers);
    // Where broadcasts do not pass, the server is typed.
    m_txtServer = new QLineEdit(this);
    m_txtServer->setObjectName(QStringLiteral("txtServer"));
    m_txtServer->setAccessibleName(QStringLiteral("Server"));
    m_txtServer->setPlaceholderText(QStringLiteral("server or server\\instance"));
    auto *serverLabel = new QLabel(QStringLiteral("Server:"), this);
    serverLabel->setBuddy(m_txtServer);
    m_cmdConnect = new QPushButton(QStringLiteral("&Connect"), this);
    m_cmdConnect->setObjectName(QStringLiteral("cmdConnect"));
    m_cmdConnect->setDefault(true);
    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(domainLabel, 0, 0);
    grid->addWidget(m_cmbDomain, 0, 1);
    grid->addWidget(m_cmdFindServers, 0, 2);
    grid->addWidget(serversLabel, 1, 0, 1, 3);
    grid->addWidget(m_listSQLServers, 2, 0, 1, 3);
    grid->addWidget(serverLabel, 3, 0);
    grid->addWidget(m_txtServer, 3, 1, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdConnect);
    buttons->addWidget(m_cmdCancel);
    grid->addLayout(buttons, 4, 0, 1, 3);
    resize(460, 360);

    connect(m_cmdFindServers, &QPushButton::clicked, this, &frmRemoteConnection::cmdFindServers_Click);
    connect(m_cmdConnect, &QPushButton::clicked, this, &frmRemoteConnection::cmdConnect_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmRemoteConnection::cmdCancel_Click);
    connect(m_listSQLServers, &QListWidget::currentTextChanged, m_txtServer, &QLineEdit::setText);
    connect(m_listSQLServers, &QListWidget::itemDoubleClicked, this, &frmRemoteConnection::cmdConnect_Click);
    connect(m_discovery, &ServerDiscovery::finished, this,
            [this](const QStringList &found, const QHash<QString, QString> &domains) {
                m_searchBusy.finish();
                m_cmdFindServers->setEnabled(true);
                m_listSQLServers->clear();
                // Those of the domain chosen, and those whose domain cannot be known.
                const QStringList servers = serversInDomain(found, domains, m_searchDomain);
                m_listSQLServers->addItems(servers);
                if (servers.isEmpty())
                    m_context.messenger().message(QStringLiteral("No SQL servers found in the selected domain"));
            });
    Form_Load();
    // A server is typed more often than found: the box has the keyboard first.
    m_txtServer->setFocus();
}

frmRemoteConnection::~frmRemoteConnection()
{
    if (m_testAbandoned)
        *m_testAbandoned = true;
}

void frmRemoteConnection::setDiscoveryTarget(const QHostAddress &address, quint16 port, int waitMs)
{
    m_discovery->setTarget(address, port);
    m_discovery->setWaitMilliseconds(waitMs);
}

bool frmRemoteConnection::isBusy() const { return m_discovery->isRunning() || m_test.isPending(); }

void frmRemoteConnection::Form_Load()
{
    const QStringList domains = ListDomains();
    m_cmbDomain->clear();
    m_cmbDomain->addItems(domains);
    if (!domains.isEmpty())
        m_cmbDomain->setCurrentIndex(0);
    m_listSQLServers->clear();
    // Servers can still be found on the local network, or typed: the dialog stays.
    if (domains.isEmpty())
        m_context.messenger().message(
            QStringLiteral("No Windows domain found on the network!  Servers that answer on the "
                           "local network can still be found, or a server typed."));
}

void frmRemoteConnection::cmdFindServers_Click() { refreshServers(m_cmbDomain->currentText()); }

void frmRemoteConnection::refreshServers(const QString &domain)
{
    // Every machine of the local network that runs SQL Server answers,
    // whatever its domain; the list keeps those of the domain chosen.
    if (m_discovery->isRunning())
        return;
    m_searchDomain = domain;
    m_searchBusy.start();
    m_cmdFindServers->setEnabled(false);
    m_discovery->start();
}

void frmRemoteConnection::cmdConnect_Click()
{
    if (m_test.isPending())
        return;
    QString server = m_txtServer->text().trimmed();
    if (server.isEmpty() && m_listSQLServers->currentItem())
        server = m_listSQLServers->currentItem()->text();
    if (server.isEmpty()) {
        m_context.messenger().message(QStringLiteral("No server selected"));
        return;
    }
    m_testBusy.start();
    m_cmdConnect->setEnabled(false);
    // A server across the network may take its time to answer: the window
    // does not wait on it. The shared server changes only once it answered;
    // a login it needs is asked on the window's thread meanwhile.
    const QString connection = remoteConnectionString(server);
    m_testAbandoned = std::make_shared<std::atomic<bool>>(false);
    m_test.start(
        this,
        [connection, abandoned = std::shared_ptr<const std::atomic<bool>>(m_testAbandoned)] {
            db::LoginPromptScope prompts(abandoned);
            return db::testConnection(connection);
        },
        [this, server, connection](Error e) { connectionTested(server, connection, e); });
}

void frmRemoteConnection::connectionTested(const QString &server, const QString &connection, const Error &error)
{
    m_testBusy.finish();
    m_cmdConnect->setEnabled(true);
    if (error.number == db::kErrGeneric) {
        // The main window still shows the server it had, and so do the shared values.
        m_context.messenger().message(server
                                      + QStringLiteral(" does not appear to be a Orvex server or you do not have "
                                                       "rights to log into OrvexDirDB on that server"));
        return;
    }
    if (error)
        m_context.messenger().message(QStringLiteral("Error in cmdConnect: ") + error.description);
    // "host\instance" as found: the host is the server, the instance the one
    // to use there. A port typed stays with the host ("host,1533"), wherever
    // it was written, so that every window's connection keeps it.
    const db::ConnectionTarget typed = db::parseConnectionString(QStringLiteral("server=") + server);
    const QString serverName = typed.port > 0 ? typed.server + u',' + QString::number(typed.port) : typed.server;
    // "DOMAIN\\server", or the server alone when no domain is chosen.
    const QString domain = m_cmbDomain->currentText().trimmed();
    m_context.attachServer(connection, serverName, typed.instance,
                           domain.isEmpty() ? serverName : domain + u'\\' + serverName);
    hide();
    m_context.requestStartOver();
}

void frmRemoteConnection::cmdCancel_Click()
{
    // A test still under way is abandoned: its answer, when it comes, moves nothing.
    if (m_test.isPending()) {
        // Nor does it ask for a login any more.
        *m_testAbandoned = true;
        m_test.cancel();
        m_testBusy.finish();
        m_cmdConnect->setEnabled(true);
    }
    hide();
}

void frmRemoteConnection::closeEvent(QCloseEvent *event)
{
    // The close box cancels, like "Cancel"; the dialog is kept for its next use.
    event->ignore();
    cmdCancel_Click();
}

} // namespace korva
