#include "textgen.h"

#include <QRandomGenerator>
#include <QStringList>

namespace bench {

QString frenchText(qsizetype bytes, const QString &needle, unsigned seed)
{
    static const QStringList words = {
        "le",       "la",     "les",    "un",      "une",      "des",      "et",      "ou",
        "mais",     "donc",   "car",    "dans",    "sur",      "avec",     "pour",    "sans",
        "sous",     "maison", "jardin", "fenêtre", "été",      "hiver",    "rivière", "forêt",
        "écrire",   "lire",   "dormir", "marcher", "regarder", "petit",    "grand",   "très",
        "toujours", "jamais", "déjà",   "encore",  "ville",    "campagne", "soleil",  "pluie",
        "chemin",   "lettre", "cahier", "plume",   "feuille",  "éditeur",  "texte",   "ligne",
        "mot",      "phrase"};
    const QStringList containing = {needle + "s", needle + "on", "a" + needle, needle + "eau"};
    QRandomGenerator rng(seed);
    QString out;
    out.reserve(bytes);
    qsizetype lineLength = 0;
    while (out.size() < bytes) {
        const quint32 roll = rng.bounded(100u);
        QString word;
        if (roll == 0)
            word = needle;
        else if (roll == 1)
            word = containing.at(rng.bounded(int(containing.size())));
        else
            word = words.at(rng.bounded(int(words.size())));
        if (lineLength > 0 && lineLength + word.size() + 1 > 60) {
            out += QLatin1Char('\n');
            lineLength = 0;
        } else if (lineLength > 0) {
            out += QLatin1Char(' ');
            ++lineLength;
        }
        out += word;
        lineLength += word.size();
    }
    out += QLatin1Char('\n');
    return out;
}

} // namespace bench
