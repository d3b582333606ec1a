#pragma once

#include <QtCore/QMargins>
#include <QtCore/QObject>
#include <QtCore/QRect>

#include <optional>

class QSettings;
class QWidget;

namespace korva {

// A window's stored placement: the outer window (frame included) in twips,
// as the settings keep it.
struct StoredPlacement
{
    qint64 left = 0;
    qint64 top = 0;
    qint64 width = 0;
    qint64 height = 0;
    bool operator==(const StoredPlacement &) const = default;
};

namespace placement {

// Twips and pixels at a given resolution (dots per inch). Any stored number
// converts without overflow; results are clamped to what a screen can hold.
int twipsToPixels(qint64 twips, int dpi);
qint64 pixelsToTwips(int pixels, int dpi);

// The outer rectangle a window should take on the given screens (available
// areas, the first being the primary one) for a wanted outer rectangle: no
// larger than the screen it lands on, and moved wholly onto that screen when
// any part of it would be on no screen (it may straddle two screens).
QRect keepOnScreen(const QRect &wanted, const QList<QRect> &screens, const QSize &minimum = {});

// Twips at the window's own resolution.
int twipsToPixels(qint64 twips, const QWidget *window);

// The frame the window manager has put around a shown window; none before
// it is shown.
QMargins frameOf(const QWidget *window);

// A window's least size, and optionally the size it opens at, as twips of
// the outer window, frame included. The frame is taken off as far as it is
// known now, and the least size again once the window is shown and has one.
// The least size never needs more than the window's screen holds.
void sizeInTwips(QWidget *window, const QSize &minimumTwips, const QSize &initialTwips = {});

} // namespace placement

// A whole number from the settings: a number written with a fraction is
// rounded; a missing or unreadable value leaves target as it was (false).
bool readSettingNumber(const QSettings &store, const QString &key, qint64 &target);
// A window's placement in the settings, group "Settings", under prefix +
// "Left", "Top", "Width" and "Height", as text in twips; a value missing or
// not a number keeps its default.
StoredPlacement readStoredPlacement(const QSettings &store, const QString &prefix, const StoredPlacement &defaults);
void writeStoredPlacement(QSettings &store, const QString &prefix, const StoredPlacement &placement);

// Puts a top-level window where its stored placement says and reads its
// placement back for saving, so that a window that is opened and closed
// without being moved or resized stores exactly what it was given. The frame
// that the window manager adds is only known once the window is shown; the
// client size is corrected then, so the outer size is the stored one.
class WindowPlacement : public QObject
{
    Q_OBJECT

public:
    explicit WindowPlacement(QWidget *window);
    ~WindowPlacement() override;

    // Places the window. Call before or after it is shown.
    void restore(const StoredPlacement &stored);
    // What to store now: the values given to restore() while the window still
    // stands where they put it, its measured outer geometry otherwise.
    StoredPlacement current() const;

    int dpi() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The frame the window manager has put around the window, when it is known.
    virtual std::optional<QMargins> frameMargins() const;

private:
    void apply();
    void correctForFrame();
    QRect outerGeometry() const;

    QWidget *m_window;
    StoredPlacement m_stored;
    QRect m_target;            // outer rectangle in pixels
    QRect m_requested;         // the client rectangle last set
    QMargins m_appliedMargins; // the frame assumed when it was set
    bool m_placed = false;     // restore() has run
    bool m_exact = false;      // the target is the stored placement, not moved onto a screen
};

} // namespace korva
