#pragma once

#include "store/esito.h"
#include "store/ricerca.h"

#include <QAbstractListModel>
#include <QStringList>
#include <optional>

namespace store { class ArchivioRegistri; }

// The rows of the range search, read from the store a page at a time as the list reaches them;
// the range is counted first, so the list has its true length and End reaches the last row at once.
// Each page is a short statement that starts after the last row read (keyset), so no read lock is
// held between pages, a page costs the same at the end of the range as at its start, and rows that
// other programs add or remove meanwhile never shift the rest.
class ModelloRicerca final : public QAbstractListModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModelloRicerca)
public:
    // Rows read by a new search: more than any list shows at once.
    static constexpr int primaPagina = 64;
    // Later pages grow up to this size, so the end of a long range is a few scrolls away.
    static constexpr int paginaMassima = 8192;
    // The row's code exactly as stored, for opening that very register.
    static constexpr int ruoloCodice = Qt::UserRole;

    ModelloRicerca(store::ArchivioRegistri& archivio, QString& testoSql, QObject* genitore = nullptr);

    // Starts the range of `chiave` afresh with its first page; on failure the list is empty.
    store::Esito cerca(store::TipoRicerca tipo, const QString& chiave);
    void svuota();

    int rowCount(const QModelIndex& genitore = {}) const override;
    QVariant data(const QModelIndex& indice, int ruolo = Qt::DisplayRole) const override;

Q_SIGNALS:
    // A later page could not be read; the rows stay as they are until the page deals with it.
    void letturaFallita(const QString& descrizione);

private:
    store::Esito leggi(int righe, QStringList& nuove, QStringList& codici);
    // Reads the following pages until row `riga` is read or the range ends.
    void leggiFinoA(int riga);
    void accorcia();

    store::ArchivioRegistri& archivio_;
    QString& testoSql_;
    store::TipoRicerca tipo_ = store::TipoRicerca::Codice;
    QString chiave_;
    QStringList righe_;
    QStringList codici_;  // each row's code as stored, blanks included
    std::optional<store::Seguito> ultimo_;
    int pagina_ = primaPagina;
    int totale_ = 0;     // rows the range held when it was counted
    bool finite_ = true;  // every row of the range has been read
};
