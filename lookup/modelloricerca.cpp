#include "modelloricerca.h"

#include "lookup/righe.h"
#include "store/archivioregistri.h"

#include <QSqlQuery>

#include <algorithm>

ModelloRicerca::ModelloRicerca(store::ArchivioRegistri& archivio, QString& testoSql, QObject* genitore)
    : QAbstractListModel(genitore), archivio_(archivio), testoSql_(testoSql)
{
}

store::Esito ModelloRicerca::cerca(store::TipoRicerca tipo, const QString& chiave)
{
    beginResetModel();
    tipo_ = tipo;
    chiave_ = chiave;
    righe_.clear();
    codici_.clear();
    ultimo_.reset();
    pagina_ = primaPagina;
    finite_ = false;
    store::Esito esito = leggi(primaPagina, righe_, codici_);
    totale_ = static_cast<int>(righe_.size());
    // A full first page: the rest of the range is only counted now and read as it is reached.
    if (esito.ok() && !finite_)
        esito = store::esegui(archivio_, store::contaRegistri(archivio_.database().driver(), tipo, chiave),
                              testoSql_, [this](const QSqlQuery& q) { totale_ = q.value(0).toInt(); });
    if (!esito.ok()) {
        righe_.clear();
        codici_.clear();
        totale_ = 0;
        finite_ = true;
    }
    totale_ = std::max(totale_, static_cast<int>(righe_.size()));
    endResetModel();
    return esito;
}

void ModelloRicerca::svuota()
{
    beginResetModel();
    righe_.clear();
    codici_.clear();
    ultimo_.reset();
    totale_ = 0;
    finite_ = true;
    endResetModel();
}

store::Esito ModelloRicerca::leggi(int righe, QStringList& nuove, QStringList& codici)
{
    nuove.reserve(righe);
    QVariantList valori(store::trColonne);
    const store::Istruzione istruzione =
        store::cercaRegistri(archivio_.database().driver(), tipo_, chiave_, ultimo_, righe);
    const store::Esito e = store::esegui(archivio_, istruzione, testoSql_, [&](const QSqlQuery& q) {
        for (int i = 0; i < store::trColonne; ++i)
            valori[i] = q.value(i);
        nuove << righe::rigaRegistro(valori, tipo_);
        codici << valori.at(store::trCodice).toString();
        const int cercata = tipo_ == store::TipoRicerca::Codice ? store::trCodice : store::trDescrizione;
        ultimo_ = store::Seguito{valori.at(cercata).toString(), valori.at(store::trCodice).toString()};
    });
    if (e.ok() && nuove.size() < righe)
        finite_ = true;
    return e;
}

int ModelloRicerca::rowCount(const QModelIndex& genitore) const { return genitore.isValid() ? 0 : totale_; }

QVariant ModelloRicerca::data(const QModelIndex& indice, int ruolo) const
{
    if (!checkIndex(indice, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (ruolo != Qt::DisplayRole && ruolo != Qt::AccessibleTextRole && ruolo != ruoloCodice)
        return {};
    // The view asks for the rows it reaches; reading them changes no row the view already knows.
    const_cast<ModelloRicerca*>(this)->leggiFinoA(indice.row());
    if (indice.row() >= righe_.size())
        return QString();  // removed by another program since the count; the list shortens next
    return ruolo == ruoloCodice ? codici_.at(indice.row()) : righe_.at(indice.row());
}

void ModelloRicerca::leggiFinoA(int riga)
{
    while (!finite_ && riga >= righe_.size()) {
        pagina_ = std::min(pagina_ * 2, paginaMassima);
        QStringList nuove, codici;
        const store::Esito e = leggi(pagina_, nuove, codici);
        if (!e.ok()) {
            finite_ = true;
            Q_EMIT letturaFallita(e.descrizione);
            return;
        }
        righe_ << nuove;
        codici_ << codici;
    }
    if (finite_ && righe_.size() < totale_)
        QMetaObject::invokeMethod(this, &ModelloRicerca::accorcia, Qt::QueuedConnection);
}

void ModelloRicerca::accorcia()
{
    const int lette = static_cast<int>(righe_.size());
    if (!finite_ || lette >= totale_)
        return;
    beginRemoveRows({}, lette, totale_ - 1);
    totale_ = lette;
    endRemoveRows();
}
