#pragma once

#include "platform/backgroundtask.h"

#include "support/busypointer.h"

#include <QtWidgets/QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korva {

class WindowContext;

// Keeps a server's files for the program to run on: a registry export taken
// on the server, the folder of its data dictionaries, and the name of its SQL
// Server. The files are copied under the user's data folder in the
// background; once kept, the shared state names them and serverKept is
// emitted.
class frmServerFiles : public QDialog
{
    Q_OBJECT

public:
    explicit frmServerFiles(WindowContext &context, QWidget *parent = nullptr);
    ~frmServerFiles() override;

    bool isBusy() const { return m_copy.isPending(); }

Q_SIGNALS:
    void serverKept(const QString &name);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void browseExport();
    void browseDictionaries();
    void keepFiles();
    void kept(const QString &name, const QString &error);
    void setBusy(bool busy);

    WindowContext &m_context;
    QLineEdit *m_txtExport;
    QLineEdit *m_txtDictionaries;
    QLineEdit *m_txtServer;
    QLabel *m_lblStatus;
    QPushButton *m_cmdOK;
    QPushButton *m_cmdCancel;
    BackgroundTask<std::pair<QString, QString>> m_copy; // the kept name, or what went wrong
    BusySpan m_busy;
};

} // namespace korva
