#pragma once

#include "store/esito.h"

#include <QString>
#include <QVariantList>
#include <functional>
#include <optional>

class QSqlDriver;
class QSqlQuery;

// The look-up lists' statements: texts from constants, every key and bound passed as a value.
namespace store {

class ArchivioRegistri;

// The column the range search runs on; the numbers are the window's tipoRicerca.
enum class TipoRicerca : int { Codice = 1, Descrizione = 2 };

// Columns of a row found by the range search, in the order the statement lists them.
enum ColonnaTrovata : int {
    trCodice,
    trDescrizione,
    trAutorizzazione,
    trMeccanogNum,
    trMeccanogCin,
    trUltimoCarico,
    trGruppoSCarico,
    trDischetto,
    trColonne
};

// Columns of a line of the picker.
enum ColonnaElenco : int { elCodice, elDescrizione };

// The last row a page of the range ended on: its searched column and its code, as stored.
struct Seguito {
    QString colonna;
    QString codice;
};

// A statement and the values bound to it, in order.
struct Istruzione {
    QString sql;
    QVariantList valori;
};

// The first text above every text that begins with `chiave` in the columns' case-blind order;
// none when nothing is above them.
std::optional<QString> dopoIlPrefisso(const QString& chiave);

// The rows whose column begins with `chiave` (case-blind), sorted by that column and then by the
// code, at most `righe` rows; with `dopo`, only the rows that follow it.
Istruzione cercaRegistri(const QSqlDriver* d, TipoRicerca tipo, const QString& chiave,
                         const std::optional<Seguito>& dopo, int righe);

// How many rows the same range holds.
Istruzione contaRegistri(const QSqlDriver* d, TipoRicerca tipo, const QString& chiave);

// Code and description of the registers whose SspCarScar is `tipo`, ordered by code.
Istruzione elencoRegistri(const QSqlDriver* d, const QString& tipo);

// Runs `istruzione` on the store, leaving its text in `testoSql` before it runs.
Esito esegui(ArchivioRegistri& archivio, const Istruzione& istruzione, QString& testoSql,
             const std::function<void(const QSqlQuery&)>& riga);

} // namespace store
