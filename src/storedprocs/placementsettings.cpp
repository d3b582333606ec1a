#include "storedprocs/placementsettings.h"

#include "platform/settings.h"

#include <cmath>

namespace korva::storedprocs {

namespace {

void readNumber(QSettings &store, const QString &key, qint64 &target)
{
    const QString text = store.value(key).toString().trimmed();
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok) {
        target = whole;
        return;
    }
    const double d = text.toDouble(&ok);
    if (ok && std::isfinite(d) && std::abs(d) < 1e15)
        target = std::llround(d);
}

} // namespace

StoredPlacement readPlacement(const QString &prefix, const StoredPlacement &defaults)
{
    StoredPlacement p = defaults;
    const std::unique_ptr<QSettings> store = openSettings();
    store->beginGroup(QStringLiteral("Settings"));
    readNumber(*store, prefix + QStringLiteral("Left"), p.left);
    readNumber(*store, prefix + QStringLiteral("Top"), p.top);
    readNumber(*store, prefix + QStringLiteral("Width"), p.width);
    readNumber(*store, prefix + QStringLiteral("Height"), p.height);
    return p;
}

void writePlacement(const QString &prefix, const StoredPlacement &placement)
{
    const std::unique_ptr<QSettings> store = openSettings();
    store->beginGroup(QStringLiteral("Settings"));
    store->setValue(prefix + QStringLiteral("Left"), QString::number(placement.left));
    store->setValue(prefix + QStringLiteral("Top"), QString::number(placement.top));
    store->setValue(prefix + QStringLiteral("Width"), QString::number(placement.width));
    store->setValue(prefix + QStringLiteral("Height"), QString::number(placement.height));
}

} // namespace korva::storedprocs
