#include "tools/comandi.h"

#include "store/controllo.h"
#include "store/registerstore.h"
#include "tools/esempio.h"
#include "tools/testi.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace pemtarxdb {

using namespace Qt::StringLiterals;

namespace {

// The tool waits for another user only briefly: a clerk runs it by hand.
constexpr int attesaMs = 2000;

// The reason an open or read failed, in the clerk's words.
int erroreArchivio(const QString& file, const store::Esito& e)
{
    switch (e.numero) {
    case store::erroreBloccata: segnala(testi::archivioBloccato.arg(file, e.descrizione)); break;
    case store::erroreNonArchivio: segnala(testi::nonArchivio.arg(file, e.descrizione)); break;
    case store::erroreVecchioFormato: segnala(testi::vecchioFormato.arg(file)); break;
    case store::erroreDanneggiato: segnala(testi::archivioDanneggiato.arg(file + u'\n' + e.descrizione)); break;
    default: segnala(testi::erroreLettura.arg(file, e.descrizione)); break;
    }
    return esitoErrore;
}

// Opens an existing company file for reading and writing through the store.
store::Esito apri(store::RegisterStore& archivio, const QString& file)
{
    if (store::Esito e = archivio.apriDatabase(file, attesaMs); !e.ok())
        return e;
    if (store::Esito e = archivio.apriRegistri(); !e.ok())
        return e;
    return archivio.apriTestata();
}

} // namespace

void segnala(const QString& testo)
{
    QTextStream(stderr) << testo << u'\n';
}

void riferisci(const QString& testo)
{
    QTextStream(stdout) << testo << u'\n';
}

int crea(const QStringList& argomenti)
{
    const QString& file = argomenti.front();
    if (QFileInfo::exists(file)) {
        segnala(testi::fileEsistente.arg(file));
        return esitoErrore;
    }
    if (const store::Esito e = store::RegisterStore::crea(file); !e.ok()) {
        segnala(testi::erroreCreazione.arg(file, e.descrizione));
        return esitoErrore;
    }
    riferisci(testi::archivioCreato.arg(file));
    return esitoRiuscito;
}

int esempio(const QStringList& argomenti)
{
    const QString& file = argomenti.front();
    if (QFileInfo::exists(file)) {
        segnala(testi::fileEsistente.arg(file));
        return esitoErrore;
    }
    if (const store::Esito e = store::RegisterStore::crea(file); !e.ok()) {
        segnala(testi::erroreCreazione.arg(file, e.descrizione));
        return esitoErrore;
    }
    store::Controllo controllo;
    store::Esito e;
    {
        store::RegisterStore archivio(u"pemtarx-db"_s);
        e = apri(archivio, file);
        if (e.ok())
            e = riempiEsempio(archivio);
        if (e.ok())
            e = store::controlla(archivio, controllo);
    }
    if (!e.ok()) {
        // The file is ours, made a moment ago: a half-filled demo is worse than none.
        QFile::remove(file);
        segnala(testi::erroreEsempio.arg(file, e.descrizione));
        return esitoErrore;
    }
    riferisci(testi::esempioCreato.arg(file).arg(controllo.registri));
    return esitoRiuscito;
}

int verifica(const QStringList& argomenti)
{
    const QString& file = argomenti.front();
    if (!QFileInfo(file).isFile()) {
        segnala(testi::fileInesistente.arg(file));
        return esitoErrore;
    }
    // A file of the original engine is never handed to SQLite.
    if (store::RegisterStore::vecchioFormato(file)) {
        segnala(testi::vecchioFormato.arg(file));
        return esitoErrore;
    }
    store::RegisterStore archivio(u"pemtarx-db"_s);
    if (const store::Esito e = archivio.apriDatabase(file, attesaMs); !e.ok())
        return erroreArchivio(file, e);
    store::Controllo c;
    if (const store::Esito e = store::controlla(archivio, c); !e.ok())
        return erroreArchivio(file, e);
    for (const QString& t : std::as_const(c.tabelleMancanti))
        segnala(testi::tabellaMancante.arg(t));
    for (const QString& t : std::as_const(c.colonneMancanti))
        segnala(testi::colonnaMancante.arg(t));
    for (const QString& t : std::as_const(c.chiaviMancanti))
        segnala(testi::chiaveMancante.arg(t));
    for (const QString& t : std::as_const(c.integrita))
        segnala(testi::archivioDanneggiato.arg(t));
    for (const QString& t : std::as_const(c.registriSenzaTestata))
        segnala(testi::registroSenzaTestata.arg(t));
    for (const QString& t : std::as_const(c.testateSenzaRegistro))
        segnala(testi::testataSenzaRegistro.arg(t));
    if (!c.integro()) {
        segnala(testi::archivioNonValido.arg(file));
        return esitoErrore;
    }
    riferisci(testi::archivioIntegro.arg(file).arg(c.registri).arg(c.testate));
    return esitoRiuscito;
}

} // namespace pemtarxdb
