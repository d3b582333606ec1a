#pragma once

#include <QtCore/QObject>
#include <QtCore/QString>

#include <functional>

class QNetworkAccessManager;
class QUrl;
class QWidget;

namespace korva {
class Messenger;
}

namespace korva::modUpdateCheck {

// The tool's page on the tool site: Config/HomePageUrl in the settings, or the
// address the program ships with.
QString homePageUrl();
// The tool site's scheme and host: Config/ToolSiteUrl, or those the home page
// starts with.
QString toolSiteUrl();
// Where the site lists every download.
QString downloadListUrl();

// Starts "test.bat" from the program folder with the program version and the
// home page URL (and the second argument in quotes when it has 2+ characters),
// without waiting. Any failure is ignored. Returns whether it started.
bool runVersionHook(const QString &homePage, const QString &second);

// The command line the hook runs, for display and tests.
QString versionHookCommandLine(const QString &homePage, const QString &second);

// Each component of a dotted version as "0###" formats it (5 → 05, 15 → 015,
// 155 → 0155, 1555 → 1555, 0 → 0); a text shorter than 4 characters gives "".
QString PadVersionString(const QString &version);

// The published version of the tool in a download list, padded; "" when the
// home page has no path on its site, the list is too short, or the tool is
// not listed. The list names a tool by its home page's path.
QString latestVersionFrom(const QString &list, const QString &homePage, const QString &toolTag);

// What the check tells the user, from the published (padded) version.
enum class Outcome { Unreachable, Newer, UpToDate };
Outcome compareVersions(const QString &paddedProgramVersion, const QString &published);

// One HTTP GET, off the caller's thread: the body as text (each byte one
// character, as a single-byte code page reads it), empty on any failure or
// when nothing arrived within the time-out.
class HttpGet : public QObject
{
    Q_OBJECT

public:
    explicit HttpGet(QObject *parent = nullptr);
    ~HttpGet() override;
    // accessType 0: the system's proxy settings; anything else goes direct.
    void start(const QUrl &url, int accessType, int timeoutMs);

Q_SIGNALS:
    void finished(const QString &body);

private:
    QNetworkAccessManager *m_network;
};

// The update check the Help menu runs: fetches the list, compares, and tells
// the user; the home page opens with the desktop's handler when asked. The
// owner shows the busy pointer and stays responsive meanwhile; a second check
// while one runs is ignored. Calls done (when given) once the user was told.
class UpdateCheck : public QObject
{
    Q_OBJECT

public:
    UpdateCheck(Messenger &msg, QWidget *owner, QObject *parent = nullptr);
    ~UpdateCheck() override;

    bool isRunning() const { return m_running; }
    void checkForUpdatedVersion_Foreground(const QString &homePage, const QString &toolTag);

    // Time allowed for the download, in milliseconds (20 s unless set).
    void setTimeout(int ms) { m_timeoutMs = ms; }
    // How the home page is opened (the desktop's handler unless set).
    void setUrlOpener(std::function<bool(const QUrl &)> opener) { m_openUrl = std::move(opener); }

Q_SIGNALS:
    void done();

private:
    void report(const QString &published, const QString &homePage);

    Messenger &m_msg;
    QWidget *m_owner;
    bool m_running = false;
    int m_timeoutMs = 20000;
    std::function<bool(const QUrl &)> m_openUrl;
};

} // namespace korva::modUpdateCheck
