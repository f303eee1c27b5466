// French-like text for the benchmarks, generated so that runs are repeatable.
#pragma once

#include <QString>

namespace bench {

// About `bytes` of UTF-8 text in lines of about 60 characters. The word
// `needle` stands for about 1 % of the words, and longer words that contain
// it (which a whole-word search must skip) for about as many again.
QString frenchText(qsizetype bytes, const QString &needle = QStringLiteral("chat"),
                   unsigned seed = 1234);

} // namespace bench
