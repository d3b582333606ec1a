#include "random.h"

namespace korva::demo {

namespace {

QString formatGuid(std::uint64_t high, std::uint64_t low)
{
    // Version 4 layout, so the values look like the ones the product makes.
    high = (high & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull;
    low = (low & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;
    static const char digits[] = "0123456789ABCDEF";
    QString s(36, Qt::Uninitialized);
    QChar *out = s.data();
    int pos = 0;
    auto put = [&](std::uint64_t value, int nibbles) {
        for (int i = nibbles - 1; i >= 0; --i) {
            if (pos == 8 || pos == 13 || pos == 18 || pos == 23)
                out[pos++] = u'-';
            out[pos++] = QLatin1Char(digits[(value >> (i * 4)) & 0xF]);
        }
    };
    put(high, 16);
    put(low, 16);
    return s;
}

} // namespace

Random::Random(std::uint64_t seed, const QString &purpose) : m_state(seed ^ hashText(purpose)) {}

QString Random::guid()
{
    const std::uint64_t high = next();
    return formatGuid(high, next());
}

std::uint64_t hashText(const QString &text)
{
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (QChar c : text) {
        h ^= c.unicode();
        h *= 0x100000001B3ull;
    }
    return h;
}

QString stableGuid(const QString &space, std::uint64_t number)
{
    Random r(hashText(space) + number * 0x9E3779B97F4A7C15ull);
    return r.guid();
}

} // namespace korva::demo
