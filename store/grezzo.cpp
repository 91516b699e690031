#include "store/grezzo.h"

#include "store/colonne.h"
#include "store/archivioregistri.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <cmath>
#include <limits>
#include <optional>

namespace store {

using namespace Qt::StringLiterals;

namespace {

std::optional<std::span<const Colonna>> colonne(QLatin1StringView tabella)
{
    const std::span<const Colonna> cc = colonneDi(tabella);
    return cc.empty() ? std::nullopt : std::optional(cc);
}

QString elenco(const QSqlDriver* d, std::span<const Colonna> colonne)
{
    QStringList nomi;
    for (const Colonna& c : colonne)
        nomi << d->escapeIdentifier(c.nome, QSqlDriver::FieldName);
    return nomi.join(u", "_s);
}

bool nullo(const QVariant& v)
{
    return !v.isValid() || v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isNull());
}

bool intero(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Int: case QMetaType::UInt:
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// The value to bind, or none when it cannot be stored in the column without changing it.
std::optional<QVariant> daLegare(const Colonna& c, const QVariant& v)
{
    if (nullo(v))
        return QVariant();
    switch (c.tipo) {
    case Tipo::Testo:
        if (v.typeId() == QMetaType::QString)
            return v;
        return std::nullopt;
    case Tipo::Intero16:
    case Tipo::Intero32: {
        if (!intero(v))
            return std::nullopt;
        const bool senzaSegno = v.typeId() == QMetaType::UInt || v.typeId() == QMetaType::ULong ||
                                v.typeId() == QMetaType::ULongLong;
        if (senzaSegno && v.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        const qint64 n = v.toLongLong();
        const qint64 minimo = c.tipo == Tipo::Intero16 ? std::numeric_limits<qint16>::min() : std::numeric_limits<qint32>::min();
        const qint64 massimo = c.tipo == Tipo::Intero16 ? std::numeric_limits<qint16>::max() : std::numeric_limits<qint32>::max();
        if (n < minimo || n > massimo)
            return std::nullopt;
        return QVariant(static_cast<int>(n));
    }
    case Tipo::Booleano:
        if (v.typeId() == QMetaType::Bool)
            return v;
        return std::nullopt;
    case Tipo::Reale: {
        if (v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float)
            return std::nullopt;
        const double x = v.typeId() == QMetaType::Float ? double(v.toFloat()) : v.toDouble();
        // SQLite stores NaN as Null and an integral -0.0 as the integer 0.
        if (std::isnan(x) || (x == 0.0 && std::signbit(x)))
            return std::nullopt;
        return QVariant(x);
    }
    }
    return std::nullopt;
}

// Every failure here is the caller's to explain; the engine's text says what it was.
Esito errore(const QSqlError& e, const QSqlDriver* d)
{
    return Esito::errore(erroreGenerico, esitoSql(e, d).descrizione);
}

} // namespace

InserimentoGrezzo::InserimentoGrezzo(QSqlDatabase& db, QLatin1StringView tabella) : tabella_(tabella)
{
    const auto cc = colonne(tabella);
    if (!cc) {
        esito_ = Esito::errore(erroreGenerico, u"tabella sconosciuta: "_s + tabella);
        return;
    }
    colonne_ = *cc;
    const QSqlDriver* d = db.driver();
    QStringList segni(qsizetype(colonne_.size()), u"?"_s);
    q_.emplace(db);
    if (!q_->prepare(u"INSERT INTO "_s + d->escapeIdentifier(tabella, QSqlDriver::TableName) + u" ("_s +
                     elenco(d, colonne_) + u") VALUES ("_s + segni.join(u", "_s) + u')')) {
        esito_ = errore(q_->lastError(), d);
        q_.reset();
    }
}

Esito InserimentoGrezzo::inserisci(const QVariantList& valori)
{
    if (!q_)
        return esito_;
    if (valori.size() != qsizetype(colonne_.size()))
        return esito_ = Esito::errore(erroreGenerico, u"%1 valori per le %2 colonne di %3"_s.arg(valori.size())
                                                          .arg(colonne_.size())
                                                          .arg(tabella_));
    for (qsizetype i = 0; i < valori.size(); ++i) {
        const Colonna& c = colonne_[size_t(i)];
        const std::optional<QVariant> v = daLegare(c, valori.at(i));
        if (!v)
            return esito_ = Esito::errore(erroreGenerico, u"valore non adatto alla colonna %1: %2"_s.arg(
                                                              c.nome, valori.at(i).toString()));
        q_->bindValue(int(i), *v);
    }
    if (!q_->exec())
        return esito_ = errore(q_->lastError(), q_->driver());
    return esito_ = {};
}

Esito inserisciGrezzo(QSqlDatabase& db, QLatin1StringView tabella, const QVariantList& valori)
{
    InserimentoGrezzo inserimento(db, tabella);
    if (!inserimento.esito().ok())
        return inserimento.esito();
    return inserimento.inserisci(valori);
}

Esito leggiGrezzo(QSqlDatabase& db, QLatin1StringView tabella, const std::function<void(const QVariantList&)>& riga)
{
    const auto cc = colonne(tabella);
    if (!cc)
        return Esito::errore(erroreGenerico, u"tabella sconosciuta: "_s + tabella);
    const QSqlDriver* d = db.driver();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(u"SELECT "_s + elenco(d, *cc) + u" FROM "_s + d->escapeIdentifier(tabella, QSqlDriver::TableName) +
                   u" ORDER BY "_s + d->escapeIdentifier(cc->front().nome, QSqlDriver::FieldName)))
        return errore(q.lastError(), d);
    if (!q.exec())
        return errore(q.lastError(), d);
    const int n = int(cc->size());
    while (q.next()) {
        QVariantList valori;
        valori.reserve(n);
        for (int i = 0; i < n; ++i)
            valori << q.value(i);
        riga(valori);
    }
    if (q.lastError().isValid())
        return errore(q.lastError(), d);
    return {};
}

} // namespace store
