// The figures of the reliability tests, one line per case on standard output,
// collected by scripts/reliability.sh into the table of docs/reliability.md.
#pragma once

#include <QString>
#include <cstdio>

namespace feuillon_test {

inline void reliability(const QString &what, long long tried, const QString &result)
{
    std::printf("RELIABILITY: %s | %lld | %s\n", qUtf8Printable(what), tried,
                qUtf8Printable(result));
    std::fflush(stdout);
}

} // namespace feuillon_test
