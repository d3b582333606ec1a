#include "support/updatecheck.h"

#include "platform/paths.h"
#include "platform/settings.h"
#include "support/messenger.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QProcess>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QDesktopServices>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>
#include <QtWidgets/QWidget>

namespace korva::modUpdateCheck {

namespace {

// A list larger than this is no download list; reading stops there.
constexpr qint64 kMaxBody = 16 * 1024 * 1024;

QString setting(const char *key, const QString &fallback)
{
    const QString value = openSettings()->value(QLatin1String(key)).toString().trimmed();
    return value.isEmpty() ? fallback : value;
}

} // namespace

QString homePageUrl()
{
    return setting("Config/HomePageUrl", QStringLiteral("https://www.orvextools.example/Diagnostics/Talmu.htm"));
}

namespace {

// The scheme and host the home page starts with ("https://www.orvextools.example").
QString sitePrefix(const QString &homePage)
{
    const QUrl url(homePage);
    if (!url.isValid() || url.scheme().isEmpty() || url.authority().isEmpty())
        return QString();
    const QString prefix = url.scheme() + QStringLiteral("://") + url.authority();
    return homePage.startsWith(prefix, Qt::CaseInsensitive) ? homePage.left(prefix.size()) : QString();
}

} // namespace

QString toolSiteUrl() { return setting("Config/ToolSiteUrl", sitePrefix(homePageUrl())); }

QString downloadListUrl() { return toolSiteUrl() + QStringLiteral("/SiteList/AllDownloads/AllDownloads.XML"); }

QString versionHookCommandLine(const QString &homePage, const QString &second)
{
    QString line = QDir(programFolder()).filePath(QStringLiteral("test.bat")) + u' ' + programVersion() + u' '
                   + homePage;
    if (second.size() >= 2)
        line += QStringLiteral(" \"") + second + u'"';
    return line;
}

bool runVersionHook(const QString &homePage, const QString &second)
{
    // The batch file is a shell script on this platform; run it with sh so it
    // needs no execute bit, detached so the program never waits for it.
    const QString script = QDir(programFolder()).filePath(QStringLiteral("test.bat"));
    if (!QFileInfo(script).isFile())
        return false;
    QStringList args{script, programVersion(), homePage};
    if (second.size() >= 2)
        args << second;
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments(args);
    process.setWorkingDirectory(programFolder());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

namespace {

// "0###": a zero is shown before numbers of up to three digits; 0 stays 0.
QString padComponent(const QString &component)
{
    if (component.isEmpty())
        return component;
    for (QChar c : component)
        if (!c.isDigit())
            return component; // not a number: shown as it is
    qsizetype first = 0;
    while (first < component.size() - 1 && component.at(first) == u'0')
        ++first;
    const QString digits = component.mid(first);
    if (digits == u"0")
        return digits;
    return digits.size() < 4 ? u'0' + digits : digits;
}

} // namespace

QString PadVersionString(const QString &version)
{
    if (version.size() < 4)
        return QString();
    QStringList parts = version.split(u'.');
    for (QString &part : parts)
        part = padComponent(part);
    return parts.join(u'.');
}

QString latestVersionFrom(const QString &list, const QString &homePage, const QString &toolTag)
{
    // The page's path on the site names the tool in the list.
    const QString prefix = sitePrefix(homePage);
    const QString path = homePage.mid(prefix.size());
    if (prefix.isEmpty() || path.size() < 2 || list.size() < 10)
        return QString();
    const QString key = (toolTag.size() > 1 ? toolTag : QString()) + u'^' + path + QStringLiteral("^ifram_a");
    const qsizetype at = list.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    const qsizetype cell = list.indexOf(QStringLiteral("<cell>"), at, Qt::CaseInsensitive);
    if (cell < 0)
        return QString();
    qsizetype end = cell + 6;
    while (end < list.size() && (list.at(end).isDigit() || list.at(end) == u'.'))
        ++end;
    return PadVersionString(list.mid(cell + 6, end - cell - 6));
}

Outcome compareVersions(const QString &paddedProgramVersion, const QString &published)
{
    if (published.isEmpty())
        return Outcome::Unreachable;
    // Character by character, as the list has always been compared.
    return QString::compare(paddedProgramVersion, published, Qt::CaseSensitive) < 0 ? Outcome::Newer
                                                                                    : Outcome::UpToDate;
}

namespace {

// The proxies the system is configured with (the environment's on this platform).
class SystemProxies : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        return QNetworkProxyFactory::systemProxyForQuery(query);
    }
};

} // namespace

HttpGet::HttpGet(QObject *parent) : QObject(parent), m_network(new QNetworkAccessManager(this)) {}

HttpGet::~HttpGet() = default;

void HttpGet::start(const QUrl &url, int accessType, int timeoutMs)
{
    if (accessType == 0)
        m_network->setProxyFactory(new SystemProxies); // the manager owns it
    else
        m_network->setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("HTTP Generic"));
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = m_network->get(request);
    auto body = std::make_shared<QByteArray>();
    // The whole download has the time-out too, not only each pause in it.
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(timeoutMs);
    connect(reply, &QNetworkReply::readyRead, reply, [reply, body] {
        body->append(reply->read(kMaxBody - body->size()));
        if (body->size() >= kMaxBody)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, body] {
        body->append(reply->readAll().left(kMaxBody - body->size()));
        const bool ok = reply->error() == QNetworkReply::NoError || body->size() >= kMaxBody;
        reply->deleteLater();
        Q_EMIT finished(ok ? QString::fromLatin1(*body) : QString());
    });
}

UpdateCheck::UpdateCheck(Messenger &msg, QWidget *owner, QObject *parent)
    : QObject(parent), m_msg(msg), m_owner(owner),
      m_openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{}

UpdateCheck::~UpdateCheck() = default;

void UpdateCheck::checkForUpdatedVersion_Foreground(const QString &homePage, const QString &toolTag)
{
    if (m_running)
        return;
    m_running = true;
    if (m_owner)
        m_owner->setCursor(Qt::WaitCursor);
    if (sitePrefix(homePage).isEmpty()) {
        // Nothing to look for: told at once, but after this call like any other answer.
        QTimer::singleShot(0, this, [this, homePage] { report(QString(), homePage); });
        return;
    }
    auto *get = new HttpGet(this);
    connect(get, &HttpGet::finished, this, [this, get, homePage, toolTag](const QString &body) {
        get->deleteLater();
        report(latestVersionFrom(body, homePage, toolTag), homePage);
    });
    get->start(QUrl(downloadListUrl()), 0, m_timeoutMs);
}

void UpdateCheck::report(const QString &published, const QString &homePage)
{
    if (m_owner)
        m_owner->unsetCursor();
    const QString site = toolSiteUrl();
    switch (compareVersions(PadVersionString(programVersion()), published)) {
    case Outcome::Unreachable:
        m_msg.message(
            QStringLiteral("Unable to contact application home page to check for version.  You can access "
                           "the home page and check for updated versions of all Zandel Orvex tools by going to ")
            + site);
        break;
    case Outcome::Newer:
        if (m_msg.confirm(QStringLiteral("An updated version of this tool is available on ") + site
                              + QStringLiteral(".  Click OK to open the application home page now"),
                          QStringLiteral("Updated version is available"))
            && !m_openUrl(QUrl::fromUserInput(homePage)))
            m_msg.message(QStringLiteral("The home page could not be opened: ") + homePage);
        break;
    case Outcome::UpToDate:
        m_msg.message(QStringLiteral("You have the most up to date version of this tool installed"));
        break;
    }
    m_running = false;
    Q_EMIT done();
}

} // namespace korva::modUpdateCheck
