#pragma once

#include "store/esito.h"
#include "store/storico.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariantList>
#include <functional>
#include <optional>

class QSqlDriver;
class QSqlError;
struct Registro;
struct TestataRegistro;

namespace store {

// The wait for another user's lock while the tables are opened: the clerk is told soon, and may retry.
inline constexpr int attesaAperturaMs = 2000;

// The company's two register tables, reached through one named connection.
class ArchivioRegistri final {
    Q_DISABLE_COPY_MOVE(ArchivioRegistri)
public:
    explicit ArchivioRegistri(const QString& nomeConnessione = QStringLiteral("pemtarx"));
    ~ArchivioRegistri();

    // Opens an existing file shared and writable, or the database of a "postgresql://" address;
    // a missing file or database is an error, never created. `attesaMs` bounds every wait for a lock.
    Esito apriDatabase(const QString& percorso, int attesaMs = 5000);
    // Checks that the table can be read with every column the program uses.
    Esito apriRegistri();
    Esito apriTestata();
    void chiudi();

    bool registriAperti() const { return registriAperti_; }
    bool testataAperta() const { return testataAperta_; }

    // Both rows of a register as one look-up found them; a missing row is empty.
    struct Righe {
        std::optional<QSqlRecord> registro, testata;
    };
    // Both rows of `codice` (compared without regard to case) from one snapshot, so a save of another
    // clerk never shows by halves.
    Esito trova(const QString& codice, Righe& righe);

    enum class Fase { Nessuna, Registro, Testata };
    struct EsitoScrittura {
        Esito esito;
        Fase fase = Fase::Nessuna;  // which row failed
    };
    // Inserts or changes both rows in one transaction, decided by the key at this moment. With
    // `mostrate`, the rows as the clerk saw them: when either differs now, nothing is written and
    // the result is erroreCambiato; the comparison is inside the same transaction.
    EsitoScrittura scrivi(const Registro& registro, const TestataRegistro& testata, const Righe* mostrate = nullptr);
    // Deletes both rows of the register in one transaction; a missing heading row is fine.
    // `mostrate` as for scrivi.
    Esito elimina(const QString& codice, Fase* fase = nullptr, const Righe* mostrate = nullptr);
    // Whether this user may write the company: the file and its folder, or the role's privileges.
    Esito verificaScrittura();

    // Runs a read-only statement from the store's own texts, each value bound.
    Esito leggi(const QString& sql, const QVariantList& valori, const std::function<void(const QSqlQuery&)>& riga);

    QSqlDatabase database() const;
    QString nomeConnessione() const { return nome_; }

    // Told true before and false after every operation that may wait for another clerk's lock.
    std::function<void(bool)> inAttesa;

    // Makes a new company file with both tables, refusing a file that exists; for a server address,
    // makes both tables in its existing database, refusing one that has either.
    static Esito crea(const QString& percorso);
    // Creates both tables and their indexes in an open, empty database.
    static Esito creaSchema(QSqlDatabase& db);
    // The same within the transaction the caller has begun.
    static Esito creaTabelle(QSqlDatabase& db);
    // True when the file starts like a database of the original engine.
    static bool vecchioFormato(const QString& percorso);

private:
    // The statements of one table, prepared once and reused by every look-up and write.
    struct Istruzioni {
        QSqlQuery cerca, scrivi, elimina;
    };
    // Both rows of one code in one statement, and the lock that queues the writers of one code.
    struct Coppia {
        QSqlQuery trova, blocca;
        QSqlRecord registro, testata;  // the columns of each row, without values
    };

    Esito prepara(std::optional<Istruzioni>& istruzioni, bool registri);
    Esito apri(std::optional<Istruzioni>& istruzioni, bool registri, bool& aperta);
    Esito preparaCoppia();
    Esito trovaUnaVolta(const QString& codice, Righe& righe);
    // Within a write's transaction: waits for every other writer of `codice`, then reads its rows.
    Esito righeAttuali(const QString& codice, Righe* righe);
    // What every write needs before its rows: the statements of both tables and the history, its transaction.
    EsitoScrittura iniziaScrittura();
    EsitoScrittura annulla(const Esito& e, Fase fase);
    EsitoScrittura scriviUnaVolta(const Registro& registro, const TestataRegistro& testata, const Righe* mostrate,
                                  bool ripetuta);
    EsitoScrittura eliminaUnaVolta(const QString& codice, const Righe* mostrate, bool ripetuta);
    // Opens the server's database again when the connection is gone; false when it was not.
    bool ripristina();
    EsitoScrittura riprovando(const std::function<EsitoScrittura(bool)>& operazione);
    Esito errore(const QSqlError& e) const;

    QString nome_;
    QString posizione_;
    int attesaMs_ = 5000;
    bool vecchio_ = false;
    bool filePronto_ = false;  // the file's journal and sync settings are in force
    bool registriAperti_ = false;
    bool testataAperta_ = false;
    std::optional<Istruzioni> registri_, testata_;
    std::optional<Coppia> coppia_;
    std::optional<Storico> storico_;
    std::optional<QSqlQuery> inizio_;
};

// An engine error as the store reports it: a locked table as 3261, the engine's own text kept.
Esito esitoSql(const QSqlError& e, const QSqlDriver* d);

struct Colonna;
// A column's type on the engine of `d`, texts compared without regard to case.
QString tipoSql(const QSqlDriver* d, const Colonna& c);

} // namespace store
