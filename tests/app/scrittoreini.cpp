// Writes the settings file the way a sibling program would, reporting each completed write on stdout.
//   scrittoreini ciclo FILE PRIMO  writes [CICLO] K<n mod 20>=<n, padded> for n = PRIMO, PRIMO+1, ... forever
//   scrittoreini chiavi FILE PREFISSO  writes [CHIAVI] PREFISSO<i>=<i> for i = 0..199, then exits
#include "app/inifile.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int chiaviCiclo = 20;
constexpr int chiaviPerScrittore = 200;

void riporta(qint64 n)
{
    std::printf("%lld\n", static_cast<long long>(n));
    std::fflush(stdout);
}

int ciclo(const QString& file, qint64 primo)
{
    for (qint64 n = primo;; ++n) {
        const QString chiave = u"K"_s + QString::number(n % chiaviCiclo);
        // Every value has the same length, so every complete file has the same size.
        if (!app::scriviIni(file, u"CICLO"_s, chiave, QString::number(n).rightJustified(90, u'0')))
            return 1;
        riporta(n);
    }
}

int chiavi(const QString& file, const QString& prefisso)
{
    for (int i = 0; i < chiaviPerScrittore; ++i) {
        if (!app::scriviIni(file, u"CHIAVI"_s, prefisso + QString::number(i), QString::number(i)))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication programma(argc, argv);
    const QStringList argomenti = programma.arguments();
    if (argomenti.size() == 4 && argomenti[1] == u"ciclo"_s)
        return ciclo(argomenti[2], argomenti[3].toLongLong());
    if (argomenti.size() == 4 && argomenti[1] == u"chiavi"_s)
        return chiavi(argomenti[2], argomenti[3]);
    return 2;
}
