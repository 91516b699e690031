#include "store/ricerca.h"

#include "store/colonne.h"
#include "store/archivioregistri.h"

#include <QSqlDriver>
#include <QStringList>

namespace store {

using namespace Qt::StringLiterals;

namespace {

QString nome(const QSqlDriver* d, QLatin1StringView colonna)
{
    return d->escapeIdentifier(colonna, QSqlDriver::FieldName);
}

QString tabella(const QSqlDriver* d) { return d->escapeIdentifier(tabellaRegistri, QSqlDriver::TableName); }

QString colonneTrovate(const QSqlDriver* d)
{
    static constexpr QLatin1StringView colonne[trColonne] = {
        "SspCodice"_L1,      "SspDescrizione"_L1,  "SspCodAutorizzazione"_L1, "SspMeccanogNum"_L1,
        "SspMeccanogCin"_L1, "SspUltimoCarico"_L1, "SspGruppoSCarico"_L1,     "SspCodiceDischetto"_L1};
    QStringList nomi;
    for (QLatin1StringView c : colonne)
        nomi << nome(d, c);
    return nomi.join(u", "_s);
}

} // namespace

std::optional<QString> dopoIlPrefisso(const QString& chiave)
{
    // The columns fold ASCII letters only to lower case, then compare code points.
    QList<uint> punti = chiave.toUcs4();
    for (uint& p : punti)
        if (p >= u'A' && p <= u'Z')
            p += u'a' - u'A';
    while (!punti.isEmpty()) {
        uint& ultimo = punti.last();
        if (ultimo < 0x10FFFF) {
            ++ultimo;
            if (ultimo >= 0xD800 && ultimo <= 0xDFFF)
                ultimo = 0xE000;
            if (ultimo >= u'A' && ultimo <= u'Z')
                ultimo = u'[';  // capitals compare as small letters: the next distinct value follows Z
            return QString::fromUcs4(reinterpret_cast<const char32_t*>(punti.constData()), punti.size());
        }
        punti.removeLast();
    }
    return std::nullopt;
}

Istruzione cercaRegistri(const QSqlDriver* d, TipoRicerca tipo, const QString& chiave,
                         const std::optional<Seguito>& dopo, int righe)
{
    const QString codice = nome(d, "SspCodice"_L1);
    const QString cercata = tipo == TipoRicerca::Codice ? codice : nome(d, "SspDescrizione"_L1);
    const QString ordine = tipo == TipoRicerca::Codice ? codice : cercata + u", "_s + codice;
    // A null text would be bound as Null and match nothing; the empty key means every register.
    const QString da = chiave.isNull() ? u""_s : chiave;
    const std::optional<QString> fine = dopoIlPrefisso(da);
    Istruzione i;
    i.sql = u"SELECT "_s + colonneTrovate(d) + u" FROM "_s + tabella(d) + u" WHERE "_s;
    if (!dopo) {
        i.sql += cercata + u" >= ?"_s;
        i.valori = {da};
    } else if (tipo == TipoRicerca::Codice) {
        // The last row read is the lower bound, so the index starts there and skips nothing.
        i.sql += codice + u" > ?"_s;
        i.valori = {dopo->codice};
    } else {
        i.sql += u'(' + cercata + u", "_s + codice + u") > (?, ?)"_s;
        i.valori = {dopo->colonna, dopo->codice};
    }
    if (fine) {
        i.sql += u" AND "_s + cercata + u" < ?"_s;
        i.valori << *fine;
    }
    i.sql += u" ORDER BY "_s + ordine + u" LIMIT ?"_s;
    i.valori << righe;
    return i;
}

Istruzione contaRegistri(const QSqlDriver* d, TipoRicerca tipo, const QString& chiave)
{
    const QString cercata = nome(d, tipo == TipoRicerca::Codice ? "SspCodice"_L1 : "SspDescrizione"_L1);
    const QString da = chiave.isNull() ? u""_s : chiave;
    Istruzione i{u"SELECT COUNT(*) FROM "_s + tabella(d) + u" WHERE "_s + cercata + u" >= ?"_s, {da}};
    if (const std::optional<QString> fine = dopoIlPrefisso(da)) {
        i.sql += u" AND "_s + cercata + u" < ?"_s;
        i.valori << *fine;
    }
    return i;
}

Istruzione elencoRegistri(const QSqlDriver* d, const QString& tipo)
{
    const QString codice = nome(d, "SspCodice"_L1);
    return {u"SELECT "_s + codice + u", "_s + nome(d, "SspDescrizione"_L1) + u" FROM "_s + tabella(d) +
                u" WHERE "_s + nome(d, "SspCarScar"_L1) + u" = ? ORDER BY "_s + codice,
            {tipo}};
}

Esito esegui(ArchivioRegistri& archivio, const Istruzione& istruzione, QString& testoSql,
             const std::function<void(const QSqlQuery&)>& riga)
{
    testoSql = istruzione.sql;
    return archivio.leggi(istruzione.sql, istruzione.valori, riga);
}

} // namespace store
