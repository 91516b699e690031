#include "tools/comandi.h"

#include "store/colonne.h"
#include "store/posizione.h"
#include "store/archivioregistri.h"
#include "store/storico.h"
#include "tools/testi.h"

#include <QTextStream>

namespace pemtarxdb {

using namespace Qt::StringLiterals;

namespace {

// A stored value as text: a boolean as 0 or 1 on either engine, a Null as nothing.
QString testo(const QVariant& v)
{
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::Bool)
        return QString::number(int(v.toBool()));
    return v.toString();
}

// Every text in quotes, so an empty text stays apart from a Null and leading blanks survive.
QString cellaCsv(const QVariant& v)
{
    if (v.isNull() || v.typeId() != QMetaType::QString)
        return testo(v);
    return u'"' + QString(v.toString()).replace(u"\""_s, u"\"\""_s) + u'"';
}

} // namespace

int storico(const QStringList& argomenti)
{
    QStringList resto = argomenti;
    const bool csv = resto.removeAll(u"--csv"_s) > 0;
    if (resto.isEmpty() || resto.size() > 2)
        return erroreUso(testi::argomentiErrati.arg(u"storico"_s, testi::argomentiStorico));
    const QString& file = resto.front();
    const std::optional<QString> codice = resto.size() > 1 ? std::optional(resto.at(1)) : std::nullopt;
    store::ArchivioRegistri archivio(u"pemtarx-db"_s);
    if (!apriArchivio(archivio, file))
        return esitoErrore;

    QStringList nomi{u"numero"_s, u"quando"_s, u"utente"_s, u"computer"_s, u"operazione"_s};
    for (const store::Colonna& c : store::colonneStorico().subspan(store::colonneProprieStorico))
        nomi << c.nome;
    QList<QVariantList> righe;
    if (!store::haStorico(archivio.database())) {
        segnala(testi::storicoAssente.arg(file));
    } else if (const store::Esito e =
                   store::leggiStorico(archivio, codice, [&](const QVariantList& riga) { righe << riga; });
               !e.ok()) {
        segnala(testi::erroreLettura.arg(file, e.descrizione));
        return esitoErrore;
    }

    QTextStream uscita(stdout);
    if (csv) {
        uscita << nomi.join(u';') << u'\n';
        for (const QVariantList& riga : std::as_const(righe)) {
            QStringList celle;
            for (const QVariant& v : riga)
                celle << cellaCsv(v);
            uscita << celle.join(u';') << u'\n';
        }
        return esitoRiuscito;
    }
    // Each column as wide as its widest value; numbers to the right.
    QList<qsizetype> larghezze;
    for (const QString& n : std::as_const(nomi))
        larghezze << n.size();
    for (const QVariantList& riga : std::as_const(righe))
        for (qsizetype i = 0; i < riga.size(); ++i)
            larghezze[i] = std::max(larghezze[i], testo(riga.at(i)).size());
    const auto stampa = [&](const QStringList& celle, const QVariantList& valori) {
        QStringList allineate;
        for (qsizetype i = 0; i < celle.size(); ++i) {
            const bool numero = i < valori.size() && valori.at(i).typeId() != QMetaType::QString && !valori.at(i).isNull();
            allineate << (numero ? celle.at(i).rightJustified(larghezze[i]) : celle.at(i).leftJustified(larghezze[i]));
        }
        QString linea = allineate.join(u"  "_s);
        while (linea.endsWith(u' '))
            linea.chop(1);
        uscita << linea << u'\n';
    };
    stampa(nomi, {});
    for (const QVariantList& riga : std::as_const(righe)) {
        QStringList celle;
        for (const QVariant& v : riga)
            celle << testo(v);
        stampa(celle, riga);
    }
    return esitoRiuscito;
}

int ripristina(const QStringList& argomenti)
{
    const QString& file = argomenti.at(0);
    const QString& codice = argomenti.at(1);
    bool numero = false;
    const qint64 riga = argomenti.at(2).toLongLong(&numero);
    if (!numero || riga <= 0) {
        segnala(testi::numeroNonValido.arg(argomenti.at(2)));
        return erroreUso(testi::argomentiErrati.arg(u"ripristina"_s, testi::argomentiRipristina));
    }
    store::ArchivioRegistri archivio(u"pemtarx-db"_s);
    if (!apriArchivio(archivio, file))
        return esitoErrore;
    store::Ripristino esito = store::Ripristino::NumeroInesistente;
    if (const store::Esito e = store::ripristina(archivio, codice, riga, esito); !e.ok()) {
        if (e.numero == store::erroreBloccata)
            segnala(testi::archivioBloccato.arg(file, e.descrizione));
        else
            segnala(testi::erroreRipristino.arg(file, e.descrizione));
        return esitoErrore;
    }
    switch (esito) {
    case store::Ripristino::NumeroInesistente: segnala(testi::numeroInesistente.arg(riga).arg(file)); return esitoErrore;
    case store::Ripristino::AltroCodice: segnala(testi::numeroAltroCodice.arg(riga).arg(codice)); return esitoErrore;
    case store::Ripristino::Fatto: break;
    }
    riferisci(testi::ripristinoRiuscito.arg(codice).arg(riga));
    return esitoRiuscito;
}

} // namespace pemtarxdb
