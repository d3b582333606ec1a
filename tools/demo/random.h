#pragma once

#include <QtCore/QString>

#include <cstdint>

namespace korva::demo {

// A small, fast generator whose sequence is fixed by its seed on every
// platform and library version, so the demo content never changes between
// builds. (The standard distributions differ between libraries; not used.)
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    // A stream of its own for one purpose, independent of the order in which
    // the other streams are used.
    Random(std::uint64_t seed, const QString &purpose);

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n); n > 0.
    std::uint64_t below(std::uint64_t n) { return n ? next() % n : 0; }
    // Uniform in [lo, hi].
    qint64 between(qint64 lo, qint64 hi) { return lo + qint64(below(std::uint64_t(hi - lo) + 1)); }
    // True with the given chance in percent.
    bool percent(int p) { return int(below(100)) < p; }
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

    template<typename List>
    const auto &pick(const List &list)
    {
        return list[qsizetype(below(std::uint64_t(list.size())))];
    }

    // An identifier in SQL Server's text form: upper case, 36 characters.
    QString guid();

private:
    std::uint64_t m_state;
};

// FNV-1a of the text; seeds streams by name.
std::uint64_t hashText(const QString &text);

// The same identifier for the same name and number, whichever order the
// rows are made in.
QString stableGuid(const QString &space, std::uint64_t number);

} // namespace korva::demo
