#include "support/windowplacement.h"

#include <QtCore/QSettings>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QRegion>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QWidget>

#include <cmath>

namespace korva {

namespace placement {

namespace {

// Far beyond any screen, small enough that sums of a few never overflow.
constexpr int kPixelLimit = 1000000;

} // namespace

int twipsToPixels(qint64 twips, int dpi)
{
    const double px = std::round(double(twips) * double(std::max(1, dpi)) / 1440.0);
    return int(std::clamp(px, double(-kPixelLimit), double(kPixelLimit)));
}

qint64 pixelsToTwips(int pixels, int dpi) { return std::llround(double(pixels) * 1440.0 / double(std::max(1, dpi))); }

QRect keepOnScreen(const QRect &wanted, const QList<QRect> &screens, const QSize &minimum)
{
    QRect r(wanted.topLeft(), wanted.size().expandedTo(QSize(1, 1)).expandedTo(minimum));
    if (screens.isEmpty())
        return r;
    // The screen that holds most of the window, else the primary one.
    QRect screen = screens.first();
    qint64 best = 0;
    for (const QRect &s : screens) {
        const QRect common = s.intersected(r);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > best) {
            best = area;
            screen = s;
        }
    }
    r.setSize(r.size().boundedTo(screen.size()).expandedTo(minimum.boundedTo(screen.size())));
    // Every part of the window must be on a screen (it may straddle two);
    // otherwise it moves wholly onto the screen that holds most of it.
    QRegion off(r);
    for (const QRect &s : screens)
        off -= s;
    if (!off.isEmpty()) {
        r.moveLeft(std::clamp(r.left(), screen.left(), screen.right() - r.width() + 1));
        r.moveTop(std::clamp(r.top(), screen.top(), screen.bottom() - r.height() + 1));
    }
    return r;
}

int twipsToPixels(qint64 twips, const QWidget *window) { return twipsToPixels(twips, window->logicalDpiX()); }

QMargins frameOf(const QWidget *window)
{
    return window->isVisible() && window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
}

namespace {

QSize innerPixels(const QWidget *window, const QSize &outerTwips)
{
    const QMargins frame = frameOf(window);
    return QSize(twipsToPixels(outerTwips.width(), window->logicalDpiX()) - frame.left() - frame.right(),
                 twipsToPixels(outerTwips.height(), window->logicalDpiY()) - frame.top() - frame.bottom());
}

// On a screen smaller than that, every control must still be reachable.
QSize leastPixels(const QWidget *window, const QSize &outerTwips)
{
    QSize least = innerPixels(window, outerTwips);
    if (const QScreen *s = window->screen()) {
        const QMargins frame = frameOf(window);
        least = least.boundedTo(s->availableGeometry().size().shrunkBy(frame));
    }
    return least;
}

// Sets the least size again when the window is shown, its frame known then.
class MinimumOnShow final : public QObject
{
public:
    MinimumOnShow(QWidget *window, const QSize &twips) : QObject(window), m_window(window), m_twips(twips)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Show)
            m_window->setMinimumSize(leastPixels(m_window, m_twips));
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *m_window;
    QSize m_twips;
};

} // namespace

void sizeInTwips(QWidget *window, const QSize &minimumTwips, const QSize &initialTwips)
{
    window->setMinimumSize(leastPixels(window, minimumTwips));
    if (initialTwips.isValid())
        window->resize(innerPixels(window, initialTwips));
    new MinimumOnShow(window, minimumTwips);
}

} // namespace placement

WindowPlacement::WindowPlacement(QWidget *window) : QObject(window), m_window(window)
{
    m_window->installEventFilter(this);
}

WindowPlacement::~WindowPlacement() = default;

int WindowPlacement::dpi() const { return std::max(1, m_window->logicalDpiX()); }

std::optional<QMargins> WindowPlacement::frameMargins() const
{
    if (!m_window->isVisible() || !m_window->windowHandle())
        return std::nullopt;
    return m_window->windowHandle()->frameMargins();
}

QRect WindowPlacement::outerGeometry() const
{
    return m_window->geometry().marginsAdded(frameMargins().value_or(QMargins()));
}

void WindowPlacement::restore(const StoredPlacement &stored)
{
    const int d = dpi();
    const QRect wanted(placement::twipsToPixels(stored.left, d), placement::twipsToPixels(stored.top, d),
                       placement::twipsToPixels(stored.width, d), placement::twipsToPixels(stored.height, d));
    QList<QRect> screens;
    if (QScreen *primary = QGuiApplication::primaryScreen())
        screens << primary->availableGeometry();
    for (QScreen *s : QGuiApplication::screens())
        if (s != QGuiApplication::primaryScreen())
            screens << s->availableGeometry();
    m_stored = stored;
    m_target = placement::keepOnScreen(wanted, screens);
    m_exact = m_target == wanted;
    m_placed = true;
    apply();
}

void WindowPlacement::apply()
{
    m_appliedMargins = frameMargins().value_or(QMargins());
    m_requested = m_target.marginsRemoved(m_appliedMargins);
    m_window->setGeometry(m_requested);
    // What the window really took (a minimum size may have raised it).
    m_requested.setSize(m_window->geometry().size());
}

StoredPlacement WindowPlacement::current() const
{
    const QRect outer = outerGeometry();
    if (m_placed && m_exact && outer == m_target)
        return m_stored;
    const int d = dpi();
    return {placement::pixelsToTwips(outer.x(), d), placement::pixelsToTwips(outer.y(), d),
            placement::pixelsToTwips(outer.width(), d), placement::pixelsToTwips(outer.height(), d)};
}

void WindowPlacement::correctForFrame()
{
    if (!m_placed)
        return;
    // Only while the window still has the size it was given: once the user
    // resizes it, the user's size stands.
    const QMargins margins = frameMargins().value_or(QMargins());
    if (margins != m_appliedMargins && m_window->geometry().size() == m_requested.size())
        apply();
}

bool WindowPlacement::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
            // The window manager adds its frame a moment after the window is
            // mapped, often without telling the window: look a few times.
            for (int ms : {50, 150, 300, 600, 1200})
                QTimer::singleShot(ms, this, &WindowPlacement::correctForFrame);
            correctForFrame();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            correctForFrame();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool readSettingNumber(const QSettings &store, const QString &key, qint64 &target)
{
    const QVariant v = store.value(key);
    if (!v.isValid())
        return false;
    const QString text = v.toString().trimmed();
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok) {
        target = whole;
        return true;
    }
    const double d = text.toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::fabs(d) >= 9e15)
        return false;
    target = std::llround(d);
    return true;
}

StoredPlacement readStoredPlacement(const QSettings &store, const QString &prefix, const StoredPlacement &defaults)
{
    StoredPlacement p = defaults;
    const QString key = QStringLiteral("Settings/") + prefix;
    readSettingNumber(store, key + QStringLiteral("Left"), p.left);
    readSettingNumber(store, key + QStringLiteral("Top"), p.top);
    readSettingNumber(store, key + QStringLiteral("Width"), p.width);
    readSettingNumber(store, key + QStringLiteral("Height"), p.height);
    return p;
}

void writeStoredPlacement(QSettings &store, const QString &prefix, const StoredPlacement &p)
{
    const QString key = QStringLiteral("Settings/") + prefix;
    store.setValue(key + QStringLiteral("Left"), QString::number(p.left));
    store.setValue(key + QStringLiteral("Top"), QString::number(p.top));
    store.setValue(key + QStringLiteral("Width"), QString::number(p.width));
    store.setValue(key + QStringLiteral("Height"), QString::number(p.height));
}

} // namespace korva
