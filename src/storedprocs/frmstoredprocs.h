#pragma once

#include "platform/backgroundtask.h"
#include "platform/error.h"
#include "platform/session.h"
#include "platform/xmldocument.h"
#include "storedprocs/procedurecatalogue.h"
#include "support/busypointer.h"

#include <QtCore/QHash>
#include <QtWidgets/QMainWindow>

#include <memory>

class QPushButton;
class QTabWidget;
class QTextEdit;

namespace korva {

class Grid;
class WindowContext;
class frmSplashScreen;

namespace storedprocs {

// What the browser reads when it opens: the directory database's data
// dictionary and its listed procedures, or the failure that stopped it.
struct CatalogueRead
{
    Error error;
    xml::Document dictionary;
    QList<db::ProcedureInfo> procedures;
};

// Reads the dictionary file (lower-cased whole before it is parsed; a text
// that does not parse gives an empty document) and then the procedures the
// browser lists. Runs on a database thread.
CatalogueRead readCatalogue(const QString &dictionaryPath, const QString &connection);

} // namespace storedprocs

// The product's stored procedures of the directory database: the list, the
// selected procedure's parameters and its and their descriptions from the
// data dictionary; opens the source view and the execution window. The list
// is read off the window's thread while the splash window shows over the
// main window; a failure to read it closes the browser.
class frmStoredProcs : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmStoredProcs(WindowContext &context, QWidget *parent = nullptr);
    ~frmStoredProcs() override;

    void gridSPs_RowColChange();
    void gridParams_RowColChange();
    void cmdExecute_Click();
    void cmdViewSource_Click();

    // The list is still being read.
    bool isLoading() const { return m_load.isPending(); }
    frmSplashScreen *splash() const { return m_splash.get(); }
    // The rows of the parameter grid (Name, Type, Length, Output), in order.
    QList<storedprocs::ParameterRow> parameterRows() const;

Q_SIGNALS:
    // The list has been read and shown, or its failure reported.
    void loaded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void showCatalogue(storedprocs::CatalogueRead read);
    // The procedure of the current row of the list; null when none.
    const db::ProcedureInfo *currentProcedure() const;
    QString currentCell(const QString &column) const;
    void report(const QString &routine, const Error &error);
    template<class Window>
    Window *openToolWindow(const QString &name);

    WindowContext &m_context;
    Grid *m_gridSPs;
    Grid *m_gridParams;
    QTabWidget *m_tabInfo;
    QTextEdit *m_txtSPInfo;
    QTextEdit *m_txtParamInfo;
    QPushButton *m_cmdExecute;
    QPushButton *m_cmdViewSource;
    QPushButton *m_cmdClose;
    std::unique_ptr<frmSplashScreen> m_splash;
    BusySpan m_busy;
    BackgroundTask<std::shared_ptr<storedprocs::CatalogueRead>> m_load;
    xml::Document m_dictionary;
    QHash<qint32, db::ProcedureInfo> m_procedures;
    bool m_showing = false;
};

} // namespace korva
