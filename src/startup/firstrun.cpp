#include "startup/firstrun.h"

#include "appcontext/windowcontext.h"
#include "demo/demoinstallation.h"
#include "main/serverfiles.h"
#include "platform/backgroundtask.h"
#include "startup/frmserverfiles.h"
#include "support/messenger.h"

#include <QtCore/QDir>
#include <QtCore/QEvent>
#include <QtCore/QEventLoop>
#include <QtCore/QPointer>
#include <QtCore/QStandardPaths>
#include <QtWidgets/QCommandLinkButton>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressDialog>
#include <QtWidgets/QVBoxLayout>

namespace korva {

namespace {

QString defaultDemoRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/KORVA/demo");
}

// Ends an event loop when the watched window is hidden.
class HideWatcher : public QObject
{
public:
    HideWatcher(QWidget *window, QEventLoop *loop) : m_loop(loop) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            m_loop->quit();
        return false;
    }

private:
    QEventLoop *m_loop;
};

// Shows the attach window and waits, with the event loop running, until the
// user attached to a server (true) or closed the window.
bool attach(WindowContext &context)
{
    QWidget *window = context.openWindow(QStringLiteral("frmRemoteConnection"));
    if (!window)
        return false;
    bool attached = false;
    QEventLoop loop;
    const QMetaObject::Connection started = QObject::connect(&context, &WindowContext::startOverRequested, &loop, [&] {
        attached = true;
        loop.quit();
    });
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    HideWatcher watcher(window, &loop);
    if (window->isVisible())
        loop.exec();
    QObject::disconnect(started);
    if (window)
        window->removeEventFilter(&watcher);
    return attached;
}

} // namespace

frmFirstRun::frmFirstRun(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFirstRun"));
    setWindowTitle(QStringLiteral("KORVA"));
    setMinimumWidth(520);
    auto *layout = new QVBoxLayout(this);
    // The message the program has always given when no installation is found.
    auto *heading = new QLabel(QStringLiteral("Error, could not find install path for Orvex"), this);
    heading->setObjectName(QStringLiteral("lblMessage"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    auto *text = new QLabel(QStringLiteral(
                                "No Orvex installation was found on this computer. What would you like to do?"),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    setAccessibleDescription(heading->text() + u' ' + text->text());

    const auto add = [&](Choice choice, const QString &caption, const QString &description, const char *name) {
        auto *button = new QCommandLinkButton(caption, description, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAccessibleDescription(description);
        connect(button, &QPushButton::clicked, this, [this, choice] { choose(choice); });
        layout->addWidget(button);
        return button;
    };
    QPushButton *demo = add(CreateDemo, QStringLiteral("Create the &demo installation"),
                            QStringLiteral("Builds a demo Orvex server for the embedded engine in %1 and opens it. "
                                           "It takes a few seconds.")
                                .arg(QDir::toNativeSeparators(defaultDemoRoot())),
                            "cmdDemo");
    add(ServerFiles, QStringLiteral("Use a &server's files..."),
        QStringLiteral("A registry export taken on the server and its data dictionaries: browse its databases with "
                       "every description, its SQL Server reached over the network."),
        "cmdServerFiles");
    add(Attach, QStringLiteral("&Attach to a server..."),
        QStringLiteral("Browse the databases of a server on the network without its data dictionaries."), "cmdAttach");
    add(Quit, QStringLiteral("&Quit"), QStringLiteral("End KORVA."), "cmdQuit");
    demo->setDefault(true);
    demo->setFocus();
}

void frmFirstRun::choose(Choice choice)
{
    m_choice = choice;
    if (choice == Quit)
        reject();
    else
        accept();
}

namespace startup {

bool createDemo(QWidget *parent, const QString &instance, const FirstRunOptions &options, QString *error)
{
    demo::DemoOptions o;
    o.root = options.demoRoot.isEmpty() ? defaultDemoRoot() : options.demoRoot;
    o.subscribers = options.subscribers;
    o.reportRows = options.reportRows;
    if (!instance.isEmpty())
        o.instance = instance;

    QProgressDialog progress(QStringLiteral("Creating the demo installation..."), QString(), 0, 6, parent);
    progress.setObjectName(QStringLiteral("dlgDemoProgress"));
    progress.setWindowTitle(QStringLiteral("KORVA"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setCancelButton(nullptr);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    progress.show();
    // Told from the building thread; shown on this one, and dropped once the
    // window is gone (it is looked at on this thread only).
    o.progress = [shown = QPointer<QProgressDialog>(&progress)](int step, int, const QString &what) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [shown, step, what] {
                if (!shown)
                    return;
                shown->setValue(step);
                shown->setLabelText(QStringLiteral("Creating the demo installation: %1...").arg(what));
            },
            Qt::QueuedConnection);
    };

    // Built on a thread of its own; the progress window is shown meanwhile.
    const auto [ok, reason] = awaitOnDatabaseThread([o] {
        QString why;
        const bool built = demo::createDemoInstallation(o, &why);
        return std::pair<bool, QString>(built, why);
    });
    if (!ok && error)
        *error = reason;
    return ok;
}

StartChoice offerStart(WindowContext &context, QWidget *parent, const QString &instance, const FirstRunOptions &options)
{
    for (;;) {
        frmFirstRun dialog(parent);
        dialog.exec();
        switch (dialog.choice()) {
        case frmFirstRun::Quit:
            return StartChoice::Quit;
        case frmFirstRun::CreateDemo: {
            QString error;
            if (createDemo(parent, instance, options, &error))
                return StartChoice::Ready;
            context.messenger().message(QStringLiteral("The demo installation could not be created: ") + error);
            break;
        }
        case frmFirstRun::ServerFiles: {
            frmServerFiles files(context, parent);
            if (files.exec() == QDialog::Accepted)
                return StartChoice::Ready;
            break;
        }
        case frmFirstRun::Attach:
            if (attach(context))
                return StartChoice::Attached;
            break;
        }
    }
}

void registerStartupWindows(WindowContext &context)
{
    // Kept files open at once: the main window starts over on them.
    context.registerWindow(QStringLiteral("frmServerFiles"), WindowContext::Instances::One, [](WindowContext &c) {
        auto *window = new frmServerFiles(c);
        QObject::connect(window, &frmServerFiles::serverKept, &c, [&c] { c.requestStartOver(); });
        return window;
    });
}

} // namespace startup

} // namespace korva
