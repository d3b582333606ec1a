#pragma once

#include "platform/backgroundtask.h"
#include "platform/xmldocument.h"
#include "registry/registrydata.h"
#include "registry/registrysource.h"
#include "widgets/treeviewerwindow.h"

class QMenu;

namespace korva {

class WindowContext;

// The product's settings below HKEY_LOCAL_MACHINE\SOFTWARE\Brisvane: the
// keys as a tree, the values of the selected key, and the selected value's
// description from OrvexRegistrySettings.xml beside the program. Reads this
// machine's registry, or a registry export file taken on another server
// (File menu), and never writes either.
class frmRegistry : public TreeViewerWindow
{
    Q_OBJECT

public:
    explicit frmRegistry(WindowContext &context, QWidget *parent = nullptr);
    ~frmRegistry() override;

    void regTree_NodeClick(QTreeWidgetItem *node);
    void gridKeys_RowColChange();
    void mnuOpenRegistryFile_Click();

    // The registry export shown, or empty for this machine's registry.
    QString exportFile() const { return m_exportFile; }

Q_SIGNALS:
    // The key tree has been read and shown (or its failures reported).
    void treeLoaded();
    // A registry export chosen from the File menu has been read (or refused).
    void exportFileRead();

protected:
    void nodeClicked(QTreeWidgetItem *node) override { regTree_NodeClick(node); }
    void currentRowChanged() override { gridKeys_RowColChange(); }
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void ConstructTreeFromRegistry();
    void showTree(const registryview::KeyTree &tree);
    void showExport(const registryview::ExportRead &read, const QString &path);
    void emptyGrid();
    void finishBusy();
    void gridKeys_MouseDown(const QPoint &globalPos);
    void copyToClipboard(const QString &text);

    WindowContext &m_context;
    xml::Document m_descriptions;
    std::shared_ptr<const registryview::RegistrySource> m_source;
    QString m_exportFile;
    BackgroundTask<registryview::KeyTree> m_treeRead;
    BackgroundTask<registryview::ExportRead> m_exportRead;
    QMenu *m_mnuRegDataPopup;
    QMenu *m_mnuDescriptionPopup;
};

} // namespace korva
