#pragma once

#include "platform/backgroundtask.h"
#include "platform/error.h"
#include "storedprocs/procedurecatalogue.h"
#include "support/busypointer.h"

#include <QtWidgets/QWidget>

#include <memory>

class QLabel;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTableWidget;

namespace korva {

class Grid;
class WindowContext;
namespace db {
class StoppableRun;
}

// Runs one stored procedure with values typed into a grid of its input
// parameters, on the main window's connection. Each value is checked against
// its parameter's type when its edit ends; the audit parameters are filled in
// and cannot be edited. What a run returns (its result sets, output
// parameters, return value and the records it affected) is shown below the
// buttons. A procedure whose name says it changes data is run only once the
// user has agreed to it. There is one execution window; the browser gives it
// the procedure and its parameters and has it load its grid.
class frmStoredProcExecute : public QWidget
{
    Q_OBJECT

public:
    explicit frmStoredProcExecute(WindowContext &context, QWidget *parent = nullptr);
    ~frmStoredProcExecute() override;

    QString procedureName() const { return m_procedureName; }
    void setProcedureName(const QString &name) { m_procedureName = name; }
    // The rows of the browser's parameter grid, outputs included.
    void setParameters(const QList<storedprocs::ParameterRow> &rows) { m_parameters = rows; }

    // (Re)fills the grid for the procedure: its input parameters, the audit
    // values filled in, every other value empty.
    void LoadGridData();
    // The value check after an edit of a cell; rows count from 1 (row 0 is
    // the header), columns from 0 (3 is Value).
    void gridParams_AfterEdit(int row, int col);
    // Runs the procedure off the window's thread.
    void cmdExecute_Click();

    bool isRunning() const { return m_run.isPending(); }

Q_SIGNALS:
    // A run has ended and its outcome been reported.
    void executionFinished();

public Q_SLOTS:
    // After a language change: the grid's headers in the new language.
    void frmStoredProcExecute_Auto_Init();

protected:
    // Closing the window stops the procedure it runs; nothing waits for it.
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // What a run hands back to the window's thread: every row already read.
    struct RunOutcome
    {
        Error error;
        db::ExecOutcome outcome;
    };

    void Form_Resize();

    void finishRun(RunOutcome run);
    void showResults(db::ExecOutcome &outcome);
    void clearResults();
    // The texts of the results that depend on the interface language.
    void showResultTexts();

    WindowContext &m_context;
    QTableWidget *m_gridParams;
    QPushButton *m_cmdExecute;
    QPushButton *m_cmdExit;
    QWidget *m_fraResults = nullptr;
    QLabel *m_lblRecordsAffected = nullptr;
    QLabel *m_lblReturnValue = nullptr;
    QSplitter *m_splitResults = nullptr;
    QTabWidget *m_tabResults = nullptr;
    Grid *m_gridOutputs = nullptr;
    long m_recordsAffected = -1;
    std::optional<qint64> m_returnValue;
    int m_partHeight = 0; // twips of the outer window above the results while they are shown
    QString m_procedureName;
    QList<storedprocs::ParameterRow> m_parameters;
    BackgroundTask<RunOutcome> m_run;
    std::shared_ptr<db::StoppableRun> m_stopper;
    BusySpan m_busy;
    bool m_loading = false;
};

} // namespace korva
