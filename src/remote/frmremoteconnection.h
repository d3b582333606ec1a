#pragma once

#include "platform/backgroundtask.h"
#include "platform/error.h"
#include "support/busypointer.h"

#include <QtNetwork/QHostAddress>
#include <QtWidgets/QDialog>

#include <atomic>
#include <memory>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace korva {

class ServerDiscovery;
class WindowContext;

// Attaches the program to another server: lists the domains, the SQL
// Servers that answer on the local network, tests a connection to the one
// chosen (or typed) and has the main window start over on it. Loaded once,
// then only hidden and shown again.
class frmRemoteConnection : public QDialog
{
    Q_OBJECT

public:
    explicit frmRemoteConnection(WindowContext &context, QWidget *parent = nullptr);
    ~frmRemoteConnection() override;

    void Form_Load();
    void cmdFindServers_Click();
    void refreshServers(const QString &domain = QString());
    void cmdConnect_Click();
    void cmdCancel_Click();

    // Where the search for servers is sent (the broadcast address unless set),
    // and how long replies are waited for.
    void setDiscoveryTarget(const QHostAddress &address, quint16 port, int waitMs = 2000);
    ServerDiscovery *discovery() const { return m_discovery; }
    bool isBusy() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void connectionTested(const QString &server, const QString &connection, const Error &error);

    WindowContext &m_context;
    QComboBox *m_cmbDomain;
    QPushButton *m_cmdFindServers;
    QListWidget *m_listSQLServers;
    QLineEdit *m_txtServer;
    QPushButton *m_cmdConnect;
    QPushButton *m_cmdCancel;
    ServerDiscovery *m_discovery;
    BackgroundTask<Error> m_test;
    QString m_searchDomain;                             // of the search under way
    std::shared_ptr<std::atomic<bool>> m_testAbandoned; // set when the test under way is given up
    BusySpan m_searchBusy;
    BusySpan m_testBusy;
};

} // namespace korva
