#include "tools/comandi.h"
#include "tools/importa.h"
#include "tools/testi.h"
#include "tools/testi_importa.h"

#include <QCoreApplication>
#include <QTextStream>

#include <array>

using namespace Qt::StringLiterals;
using namespace pemtarxdb;

namespace {

// One row per subcommand: a new one is a new row and its own source file.
struct Comando {
    QString nome;
    QString argomenti;  // as the usage line shows them
    qsizetype quanti;   // how many arguments it takes; stores, when it takes stores
    const QString& aiuto;
    int (*esegui)(const QStringList& argomenti);
    bool archivi = false;  // its arguments are stores: a file, an address or --ini SETTINGS each
    qsizetype facoltativi = 0;  // how many more it may take
};

const std::array comandi{
    Comando{u"crea"_s, testi::archivio, 1, testi::aiutoCrea, &crea, true},
    Comando{u"esempio"_s, testi::archivio, 1, testi::aiutoEsempio, &esempio, true},
    Comando{u"verifica"_s, testi::archivio, 1, testi::aiutoVerifica, &verifica, true},
    Comando{u"copia"_s, u"SORGENTE DESTINAZIONE"_s, 2, testi::aiutoCopia, &copia, true},
    Comando{u"importa"_s, testiImporta::argomenti, 2, testiImporta::aiuto, &importa},
    Comando{u"storico"_s, testi::argomentiStorico, 1, testi::aiutoStorico, &storico, true, 2},
    Comando{u"ripristina"_s, testi::argomentiRipristina, 3, testi::aiutoRipristina, &ripristina, true},
};

int aiuto()
{
    QString testo = testi::aiutoIntestazione;
    for (const Comando& c : comandi)
        testo += testi::aiutoRiga.arg(c.nome + u' ' + c.argomenti, c.aiuto);
    QTextStream(stdout) << testo << testi::aiutoArchivi << testi::aiutoChiusura;
    return esitoRiuscito;
}

int versione()
{
    riferisci(
        u"pemtarx-db %1.%2.%3"_s.arg(PEMTARX_VERSION_MAJOR).arg(PEMTARX_VERSION_MINOR).arg(PEMTARX_VERSION_PATCH));
    return esitoRiuscito;
}

// The options a command takes besides --ini.
bool opzionePropria(const QString& comando, const QString& opzione)
{
    return comando == u"storico"_s && opzione == u"--csv"_s;
}

// An option is never a file name: --help and --version answer wherever they stand, --ini and a command's own
// options are the commands', anything else that begins with "-" is refused, and so is an empty name.
std::optional<int> opzioni(const QStringList& argomenti)
{
    for (const QString& a : argomenti) {
        if (a == u"--help"_s || a == u"-h"_s)
            return aiuto();
        if (a == u"--version"_s)
            return versione();
    }
    for (const QString& a : argomenti) {
        if (a.isEmpty())
            return erroreUso(testi::nomeVuoto);
        if (a.startsWith(u'-') && a != u"--ini"_s && !opzionePropria(argomenti.front(), a))
            return erroreUso(testi::opzioneSconosciuta.arg(a));
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication applicazione(argc, argv);
    QStringList argomenti = QCoreApplication::arguments().mid(1);
    if (argomenti.isEmpty())
        return erroreUso(testi::comandoMancante);
    if (const std::optional<int> esito = opzioni(argomenti))
        return *esito;
    const QString nome = argomenti.takeFirst();
    for (const Comando& c : comandi) {
        if (c.nome != nome)
            continue;
        const std::optional<QStringList> gruppi = c.archivi ? archivi(argomenti) : argomenti;
        if (!gruppi || gruppi->size() < c.quanti || gruppi->size() > c.quanti + c.facoltativi)
            return erroreUso(testi::argomentiErrati.arg(c.nome, c.argomenti));
        argomenti.clear();
        for (const QString& g : *gruppi) {
            const std::optional<QString> p = c.archivi ? posizione(g) : g;
            if (!p)
                return esitoErrore;
            argomenti << *p;
        }
        return c.esegui(argomenti);
    }
    return erroreUso(testi::comandoSconosciuto.arg(nome));
}
