#pragma once

#include "store/esito.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>
#include <functional>
#include <optional>

class QSqlDriver;

namespace store {

class ArchivioRegistri;

// The history of the registers: one row per write, in the transaction of the write itself.
class Storico final {
    Q_DISABLE_COPY_MOVE(Storico)
public:
    explicit Storico(const QSqlDatabase& db);

    // Makes the table in a store that has none yet, in a transaction of its own, then prepares the
    // writes once; nothing when `storico` is ready.
    static Esito prepara(QSqlDatabase db, std::optional<Storico>& storico);

    // First in a save without the rows read: whether the register is there; on a server it stays locked.
    bool prima(const QString& codice, QSqlError& errore);
    // The same when the caller has just read the rows itself.
    bool prima(bool esisteva)
    {
        esisteva_ = esisteva;
        return true;
    }
    // Last in a save, with the values both upserts bound: a change when the register was there.
    bool salvato(const QVariantList& registro, const QVariantList& testata, QSqlError& errore);
    // Both rows of `codice` as they stand, under `operazione`; nothing when neither row exists.
    bool comeOra(const QString& codice, QLatin1StringView operazione, QSqlError& errore);

private:
    QSqlQuery prima_, salvato_, comeOra_;
    bool esisteva_ = false;
};

// On a server, queues the writers of one code until their transaction ends.
inline constexpr QLatin1StringView sqlBloccaCodice{"SELECT pg_advisory_xact_lock(hashtext(lower(CAST(? AS text))))"};

inline constexpr QLatin1StringView opInserimento{"INSERIMENTO"};
inline constexpr QLatin1StringView opVariazione{"VARIAZIONE"};
inline constexpr QLatin1StringView opCancellazione{"CANCELLAZIONE"};
inline constexpr QLatin1StringView opRipristino{"RIPRISTINO"};

// The history table and its index, if missing, within the caller's transaction; on a server the
// roles that may write the registers may add to it and read it.
Esito creaStorico(QSqlDatabase& db);
// The login name of the operating system's user, which the environment cannot change.
const QString& utenteSistema();
bool haStorico(const QSqlDatabase& db);

// Every history row, or those of one code, oldest first, in the order of colonneStorico().
Esito leggiStorico(ArchivioRegistri& archivio, const std::optional<QString>& codice,
                   const std::function<void(const QVariantList&)>& riga);

enum class Ripristino { Fatto, NumeroInesistente, AltroCodice };
// Writes both rows of `codice` back as history row `numero` holds them, with a history row of its
// own, in one transaction; refuses, writing nothing, a number that is not one of this code's.
Esito ripristina(ArchivioRegistri& archivio, const QString& codice, qint64 numero, Ripristino& esito);

} // namespace store
