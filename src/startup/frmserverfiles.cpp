#include "startup/frmserverfiles.h"

#include "appcontext/windowcontext.h"
#include "main/serverfiles.h"
#include "support/messenger.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtGui/QCloseEvent>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include <memory>

namespace korva {

namespace {

// A line edit with a "Browse..." button beside it, in one form row.
QLineEdit *addPathRow(QFormLayout *form, QWidget *parent, const QString &label, const char *name,
                      const char *buttonName, QPushButton **button)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *edit = new QLineEdit(row);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMinimumWidth(380);
    *button = new QPushButton(QStringLiteral("Browse..."), row);
    (*button)->setObjectName(QString::fromLatin1(buttonName));
    // Enter in the form opens the server's files, never a file chooser.
    (*button)->setAutoDefault(false);
    (*button)->setAccessibleName(label + QStringLiteral(" Browse"));
    layout->addWidget(edit, 1);
    layout->addWidget(*button);
    auto *caption = new QLabel(label, parent);
    caption->setBuddy(edit);
    form->addRow(caption, row);
    return edit;
}

} // namespace

frmServerFiles::frmServerFiles(WindowContext &context, QWidget *parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmServerFiles"));
    setWindowTitle(QStringLiteral("Use a server's files"));
    auto *form = new QFormLayout(this);
    auto *intro =
        new QLabel(QStringLiteral(
                       "KORVA runs on a server's files as on an installation of its own: a registry export taken on "
                       "the server (regedit, File, Export, of HKEY_LOCAL_MACHINE\\SOFTWARE or at least the product's "
                       "keys) and its data dictionaries, copied from ConfigurationModules\\DatabaseScripts in its "
                       "install folder. Its SQL Server is reached over the network. The files are copied to the "
                       "folder below; the ones you choose are not changed."),
                   this);
    intro->setObjectName(QStringLiteral("lblIntro"));
    intro->setWordWrap(true);
    form->addRow(intro);
    auto *where = new QLabel(QDir::toNativeSeparators(serverfiles::serversFolder() + QStringLiteral("/NAME")), this);
    where->setObjectName(QStringLiteral("lblFolder"));
    where->setProperty("korvaNoTranslation", true);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(where);
    QPushButton *browseExport = nullptr;
    QPushButton *browseDictionaries = nullptr;
    m_txtExport = addPathRow(form, this, QStringLiteral("&Registry export:"), "txtExport", "cmdBrowseExport",
                             &browseExport);
    m_txtDictionaries = addPathRow(form, this, QStringLiteral("&Data dictionary folder:"), "txtDictionaries",
                                   "cmdBrowseDictionaries", &browseDictionaries);
    m_txtServer = new QLineEdit(this);
    m_txtServer->setObjectName(QStringLiteral("txtServer"));
    m_txtServer->setPlaceholderText(QStringLiteral("name, name\\instance or name,port"));
    auto *serverCaption = new QLabel(QStringLiteral("&SQL Server:"), this);
    serverCaption->setBuddy(m_txtServer);
    form->addRow(serverCaption, m_txtServer);
    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setWordWrap(true);
    form->addRow(m_lblStatus);
    auto *buttons = new QDialogButtonBox(this);
    m_cmdOK = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::AcceptRole);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdCancel->setAutoDefault(false);
    form->addRow(buttons);

    connect(browseExport, &QPushButton::clicked, this, &frmServerFiles::browseExport);
    connect(browseDictionaries, &QPushButton::clicked, this, &frmServerFiles::browseDictionaries);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmServerFiles::keepFiles);
    // Enter in any of the boxes opens, as the default button does.
    for (QLineEdit *edit : {m_txtExport, m_txtDictionaries, m_txtServer})
        connect(edit, &QLineEdit::returnPressed, this, &frmServerFiles::keepFiles);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmServerFiles::reject);
    m_txtExport->setFocus();
}

// A copy under way when the window goes runs to its end (a kept copy is
// swapped in whole or not at all); nobody is told of it then.
frmServerFiles::~frmServerFiles() = default;

void frmServerFiles::browseExport()
{
    const QString file = m_context.messenger().openFileName(QStringLiteral("Registry export taken on the server"),
                                                            QFileInfo(m_txtExport->text()).path(),
                                                            QStringLiteral("Registry exports (*.reg);;All files (*)"));
    if (!file.isEmpty())
        m_txtExport->setText(QDir::toNativeSeparators(file));
}

void frmServerFiles::browseDictionaries()
{
    const QString folder = QFileDialog::getExistingDirectory(this,
                                                             QStringLiteral("Folder of the server's data dictionaries"),
                                                             m_txtDictionaries->text());
    if (!folder.isEmpty())
        m_txtDictionaries->setText(QDir::toNativeSeparators(folder));
}

void frmServerFiles::keepFiles()
{
    if (m_copy.isPending())
        return;
    const QString exportFile = QDir::fromNativeSeparators(m_txtExport->text().trimmed());
    const QString folder = QDir::fromNativeSeparators(m_txtDictionaries->text().trimmed());
    const QString server = m_txtServer->text().trimmed();
    if (exportFile.isEmpty() || folder.isEmpty()) {
        m_context.messenger().message(
            QStringLiteral("Choose the registry export and the folder of the data dictionaries."));
        (exportFile.isEmpty() ? m_txtExport : m_txtDictionaries)->setFocus();
        return;
    }
    // Copying may take a moment on a slow disk: the window stays responsive.
    m_copy.start(
        this,
        [exportFile, folder, server] {
            std::pair<QString, QString> result; // the kept name, or what went wrong
            QString name = server;
            if (name.isEmpty()) {
                // The export may say which computer it was taken on.
                const serverfiles::Inspection found = serverfiles::inspect(exportFile, folder);
                if (!found.error.isEmpty()) {
                    result.second = found.error;
                    return result;
                }
                name = found.computerName;
                if (name.isEmpty()) {
                    result.second = QStringLiteral("Type the name of the server's SQL Server.");
                    return result;
                }
            }
            QString error;
            if (const std::optional<serverfiles::KeptServer> kept = serverfiles::keep(name, exportFile, folder, &error))
                result.first = kept->name;
            else
                result.second = error;
            return result;
        },
        [this](std::pair<QString, QString> result) { kept(result.first, result.second); });
    setBusy(true);
}

void frmServerFiles::kept(const QString &name, const QString &error)
{
    setBusy(false);
    if (name.isEmpty()) {
        m_lblStatus->clear();
        m_context.messenger().message(error);
        return;
    }
    // The server the files come from replaces one attached before.
    m_context.useKeptServer(name);
    accept();
    Q_EMIT serverKept(name);
}

void frmServerFiles::setBusy(bool busy)
{
    for (QWidget *w :
         {static_cast<QWidget *>(m_txtExport), static_cast<QWidget *>(m_txtDictionaries),
          static_cast<QWidget *>(m_txtServer), static_cast<QWidget *>(m_cmdOK), static_cast<QWidget *>(m_cmdCancel)})
        w->setEnabled(!busy);
    m_lblStatus->setText(busy ? QStringLiteral("Copying the files...") : QString());
    if (busy)
        m_busy.start();
    else
        m_busy.finish();
}

void frmServerFiles::closeEvent(QCloseEvent *event)
{
    if (m_copy.isPending()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmServerFiles::keyPressEvent(QKeyEvent *event)
{
    // Escape cancels, but not in the middle of a copy.
    if (event->key() == Qt::Key_Escape && m_copy.isPending()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace korva
