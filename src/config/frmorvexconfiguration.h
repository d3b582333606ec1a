#pragma once

#include "config/configurationdata.h"
#include "platform/backgroundtask.h"
#include "platform/xmldocument.h"
#include "widgets/treeviewerwindow.h"

namespace korva {

class WindowContext;

// The product's configuration, vw_Configuration of the database the main
// window is connected to: its folders as a tree, the settings of the
// selected folder, and the selected setting's description from
// OrvexConfigurationData.xml. Reads only; the server is asked on a database
// thread while the busy pointer shows.
class frmOrvexConfiguration : public TreeViewerWindow
{
    Q_OBJECT

public:
    explicit frmOrvexConfiguration(WindowContext &context, QWidget *parent = nullptr);
    ~frmOrvexConfiguration() override;

    void regTree_NodeClick(QTreeWidgetItem *node);
    void gridKeys_RowColChange();

Q_SIGNALS:
    // The folder tree has been read and shown (or its failure reported).
    void treeLoaded();
    // A folder's settings have been read and shown (or the failure reported).
    void settingsLoaded();

protected:
    void nodeClicked(QTreeWidgetItem *node) override { regTree_NodeClick(node); }
    void currentRowChanged() override { gridKeys_RowColChange(); }

private:
    void Form_Load();
    void ConstructTreeFromConfigurationTable();
    void showTree(const config::FolderRead &read);
    void showSettings(const config::FolderSettings &settings, const QString &fullName);
    void emptyGrid();
    void finishBusy();
    void report(const QString &routine, const Error &error);

    WindowContext &m_context;
    xml::Document m_descriptions;
    BackgroundTask<config::FolderRead> m_treeRead;
    BackgroundTask<config::FolderSettings> m_settingsRead;
};

} // namespace korva
