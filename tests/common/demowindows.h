#pragma once

#include "appcontext/windowcontext.h"
#include "common/recordingmessenger.h"
#include "common/testsupport.h"

#include <QtCore/QString>

#include <memory>

namespace korva::test {

// What a window test starts from: settings and a registry of its own, a demo
// installation under demo/ of that environment, and a window context whose
// messages go to a recording messenger.
class DemoWindows
{
public:
    struct Options
    {
        int subscribers = 30;
        qint64 reportRows = 10;
        // KORVA_PROGRAM_DIR at the environment's program/ folder, made empty.
        bool programFolder = false;
        // The registry window's description file in that folder, as shipped beside the program.
        bool registryDescription = false;
    };

    DemoWindows() = default;
    DemoWindows(const DemoWindows &) = delete;
    DemoWindows &operator=(const DemoWindows &) = delete;

    // Makes all of it (once, from initTestCase); false with the reason when
    // the demo or the program folder cannot be made.
    bool setUp(const Options &options, QString *error);
    // Before each test: the windows' remembered settings forgotten and no
    // pooled connection, so that no test sees what the one before it left.
    static void freshStart();

    // The environment's own folder, and a file or folder in it.
    QString path() const { return m_env->path(); }
    QString filePath(const QString &name) const { return m_env->filePath(name); }
    QString root() const { return m_root; }
    // The demo's data dictionaries, with a closing separator.
    QString dictionaryFolder() const;
    // A database of the demo's server on this computer, as the program connects to it.
    static QString connectionString(const QString &database = QStringLiteral("OrvexDirDB"));

    RecordingMessenger msg;
    WindowContext &ctx() { return *m_ctx; }

private:
    std::unique_ptr<IsolatedEnvironment> m_env;
    std::unique_ptr<ScopedEnv> m_programDir;
    std::unique_ptr<WindowContext> m_ctx;
    QString m_root;
};

} // namespace korva::test
