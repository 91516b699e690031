#include "tools/comandi.h"

#include "store/controllo.h"
#include "store/copia.h"
#include "store/posizione.h"
#include "store/archivioregistri.h"
#include "tools/esempio.h"
#include "tools/percorsi.h"
#include "tools/testi.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
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

// Opens an existing company store for reading and writing.
store::Esito apri(store::ArchivioRegistri& archivio, const QString& file)
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

int erroreUso(const QString& testo)
{
    segnala(testo);
    segnala(testi::uso);
    return esitoUso;
}

std::optional<QStringList> archivi(const QStringList& argomenti)
{
    QStringList gruppi;
    for (qsizetype i = 0; i < argomenti.size(); ++i) {
        if (argomenti.at(i) != u"--ini"_s) {
            gruppi << argomenti.at(i);
            continue;
        }
        // A lone --ini names no store: never a file called "--ini".
        if (++i == argomenti.size())
            return std::nullopt;
        gruppi << u"--ini="_s + argomenti.at(i);
    }
    return gruppi;
}

std::optional<QString> posizione(const QString& archivio)
{
    if (!archivio.startsWith(u"--ini="_s))
        return archivio;
    return archivioDalleImpostazioni(archivio.mid(6));
}

namespace {

bool suServer(const QString& posizione) { return store::server(posizione).has_value(); }

// Makes the store's tables: a new file, or the tables in the server's existing database.
int creaArchivio(const QString& posizione)
{
    if (!suServer(posizione) && QFileInfo::exists(posizione)) {
        segnala(testi::fileEsistente.arg(posizione));
        return esitoErrore;
    }
    if (!suServer(posizione) && !cartellaScrivibile(posizione))
        return esitoErrore;
    if (const store::Esito e = store::ArchivioRegistri::crea(posizione); !e.ok()) {
        if (e.numero == store::erroreEsistente)
            segnala(testi::archivioPresente.arg(posizione, e.descrizione));
        else
            segnala(testi::erroreCreazione.arg(posizione, e.descrizione));
        return esitoErrore;
    }
    if (suServer(posizione))
        return esitoRiuscito;
    // The engine makes a database in memory for some names: success is a file on disk.
    if (!QFileInfo(posizione).isFile()) {
        segnala(testi::erroreCreazione.arg(posizione, testi::nessunFile));
        return esitoErrore;
    }
    perIlGruppo(posizione);
    return esitoRiuscito;
}

} // namespace

int crea(const QStringList& argomenti)
{
    const QString& file = argomenti.front();
    if (const int esito = creaArchivio(file); esito != esitoRiuscito)
        return esito;
    riferisci(testi::archivioCreato.arg(file));
    return esitoRiuscito;
}

namespace {

// The demo registers written into a new file through the store's own saves.
store::Esito esempioNelFile(const QString& file, int& registri)
{
    store::Controllo controllo;
    store::Esito e;
    {
        store::ArchivioRegistri archivio(u"pemtarx-db"_s);
        e = apri(archivio, file);
        if (e.ok())
            e = riempiEsempio(archivio);
        if (e.ok())
            e = store::controlla(archivio, controllo);
    }
    registri = controllo.registri;
    return e;
}

// On a server the demo is made in a file of its own and copied in one transaction: all or nothing.
store::Esito esempioSulServer(const QString& indirizzo, int& registri)
{
    const QTemporaryDir cartella;
    const QString file = cartella.filePath(u"dogana.mdb"_s);
    if (!cartella.isValid())
        return store::Esito::errore(store::erroreGenerico, cartella.errorString());
    if (store::Esito e = store::ArchivioRegistri::crea(file); !e.ok())
        return e;
    if (store::Esito e = esempioNelFile(file, registri); !e.ok())
        return e;
    store::ArchivioRegistri da(u"pemtarx-db-esempio"_s), verso(u"pemtarx-db"_s);
    store::Copiati copiati;
    store::Esito e = apri(da, file);
    if (e.ok())
        e = verso.apriDatabase(indirizzo, attesaMs);
    if (e.ok())
        e = store::copia(da, verso, copiati);
    registri = copiati.registri;
    return e;
}

} // namespace

int esempio(const QStringList& argomenti)
{
    const QString& file = argomenti.front();
    if (const int esito = creaArchivio(file); esito != esitoRiuscito)
        return esito;
    int registri = 0;
    const store::Esito e = suServer(file) ? esempioSulServer(file, registri) : esempioNelFile(file, registri);
    if (!e.ok()) {
        // The file is ours, made a moment ago: a half-filled demo is worse than none.
        if (!suServer(file))
            QFile::remove(file);
        segnala(testi::erroreEsempio.arg(file, e.descrizione));
        return esitoErrore;
    }
    riferisci(testi::esempioCreato.arg(file).arg(registri));
    return esitoRiuscito;
}

namespace {

// Refuses, with the reason given, a file that is missing or of the original engine; a server address passes.
bool fileArchivio(const QString& posizione)
{
    if (suServer(posizione))
        return true;
    if (!QFileInfo(posizione).isFile()) {
        segnala(testi::fileInesistente.arg(posizione));
        return false;
    }
    // A file of the original engine is never handed to SQLite.
    if (store::ArchivioRegistri::vecchioFormato(posizione)) {
        segnala(testi::vecchioFormato.arg(posizione));
        return false;
    }
    return true;
}

} // namespace

bool apriArchivio(store::ArchivioRegistri& archivio, const QString& posizione)
{
    if (!fileArchivio(posizione))
        return false;
    if (const store::Esito e = archivio.apriDatabase(posizione, attesaMs); !e.ok()) {
        erroreArchivio(posizione, e);
        return false;
    }
    return true;
}

int verifica(const QStringList& argomenti)
{
    const QString& file = argomenti.front();
    store::ArchivioRegistri archivio(u"pemtarx-db"_s);
    if (!apriArchivio(archivio, file))
        return esitoErrore;
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
    riferisci(c.storicoAssente ? testi::storicoAssente.arg(file) : testi::storicoPresente.arg(c.storico));
    return esitoRiuscito;
}

int copia(const QStringList& argomenti)
{
    const QString& sorgente = argomenti.at(0);
    const QString& destinazione = argomenti.at(1);
    // The same database however the two addresses are written; a file destination must be new anyway.
    if (sorgente == destinazione || (suServer(sorgente) && store::server(sorgente) == store::server(destinazione))) {
        segnala(testi::stessoArchivio.arg(sorgente));
        return esitoErrore;
    }
    if (!suServer(sorgente)) {
        if (!QFileInfo(sorgente).isFile()) {
            segnala(testi::fileInesistente.arg(sorgente));
            return esitoErrore;
        }
        if (store::ArchivioRegistri::vecchioFormato(sorgente)) {
            segnala(testi::vecchioFormato.arg(sorgente));
            return esitoErrore;
        }
    }
    store::ArchivioRegistri da(u"pemtarx-db-sorgente"_s);
    if (const store::Esito e = apri(da, sorgente); !e.ok())
        return erroreArchivio(sorgente, e);
    // A new file is made for the copy and removed if the copy fails; a server's database must exist.
    const bool nuovoFile = !suServer(destinazione);
    if (nuovoFile && QFileInfo::exists(destinazione)) {
        segnala(testi::fileEsistente.arg(destinazione));
        return esitoErrore;
    }
    if (nuovoFile)
        if (const int esito = creaArchivio(destinazione); esito != esitoRiuscito)
            return esito;
    store::Copiati copiati;
    store::Esito e;
    {
        store::ArchivioRegistri verso(u"pemtarx-db-destinazione"_s);
        e = verso.apriDatabase(destinazione, attesaMs);
        if (e.ok())
            e = store::copia(da, verso, copiati);
    }
    if (!e.ok()) {
        if (nuovoFile)
            QFile::remove(destinazione);
        if (e.numero == store::erroreEsistente)
            segnala(testi::destinazionePiena.arg(destinazione, e.descrizione));
        else
            segnala(testi::erroreCopia.arg(destinazione, e.descrizione));
        return esitoErrore;
    }
    riferisci(testi::copiaRiuscita.arg(copiati.registri).arg(copiati.testate).arg(sorgente, destinazione));
    if (copiati.storico > 0)
        riferisci(testi::copiaStorico.arg(copiati.storico));
    return esitoRiuscito;
}

} // namespace pemtarxdb
