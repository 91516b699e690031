#include "modelloricerca.h"

#include "lookup/righe.h"
#include "store/registerstore.h"

#include <QSqlQuery>

#include <algorithm>

ModelloRicerca::ModelloRicerca(store::RegisterStore& archivio, QString& testoSql, QObject* genitore)
    : QAbstractListModel(genitore), archivio_(archivio), testoSql_(testoSql)
{
}

store::Esito ModelloRicerca::cerca(store::TipoRicerca tipo, const QString& chiave)
{
    beginResetModel();
    tipo_ = tipo;
    chiave_ = chiave;
    righe_.clear();
    ultimo_.reset();
    pagina_ = primaPagina;
    finite_ = false;
    QStringList nuove;
    const store::Esito e = leggi(primaPagina, nuove);
    if (e.ok())
        righe_ = std::move(nuove);
    else
        finite_ = true;
    endResetModel();
    return e;
}

void ModelloRicerca::svuota()
{
    beginResetModel();
    righe_.clear();
    ultimo_.reset();
    finite_ = true;
    endResetModel();
}

store::Esito ModelloRicerca::leggi(int righe, QStringList& nuove)
{
    nuove.reserve(righe);
    QVariantList valori(store::trColonne);
    const store::Istruzione istruzione =
        store::cercaRegistri(archivio_.database().driver(), tipo_, chiave_, ultimo_, righe);
    const store::Esito e = store::esegui(archivio_, istruzione, testoSql_, [&](const QSqlQuery& q) {
        for (int i = 0; i < store::trColonne; ++i)
            valori[i] = q.value(i);
        nuove << righe::rigaRegistro(valori, tipo_);
        const int cercata = tipo_ == store::TipoRicerca::Codice ? store::trCodice : store::trDescrizione;
        ultimo_ = store::Seguito{valori.at(cercata).toString(), valori.at(store::trCodice).toString()};
    });
    if (e.ok() && nuove.size() < righe)
        finite_ = true;
    return e;
}

int ModelloRicerca::rowCount(const QModelIndex& genitore) const
{
    return genitore.isValid() ? 0 : static_cast<int>(righe_.size());
}

QVariant ModelloRicerca::data(const QModelIndex& indice, int ruolo) const
{
    if (!checkIndex(indice, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (ruolo == Qt::DisplayRole || ruolo == Qt::AccessibleTextRole)
        return righe_.at(indice.row());
    return {};
}

bool ModelloRicerca::canFetchMore(const QModelIndex& genitore) const { return !genitore.isValid() && !finite_; }

void ModelloRicerca::fetchMore(const QModelIndex& genitore)
{
    if (!canFetchMore(genitore))
        return;
    pagina_ = std::min(pagina_ * 2, paginaMassima);
    QStringList nuove;
    const store::Esito e = leggi(pagina_, nuove);
    if (!e.ok()) {
        finite_ = true;
        Q_EMIT letturaFallita(e.descrizione);
        return;
    }
    if (nuove.isEmpty())
        return;
    const int primo = static_cast<int>(righe_.size());
    beginInsertRows({}, primo, primo + static_cast<int>(nuove.size()) - 1);
    righe_ << nuove;
    endInsertRows();
}
