#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <optional>

// Reading the tables of a database of the original engine (Jet 4) through libmdb, value by value.
namespace jet {

// libmdb's type codes of the columns the importer understands.
enum TipoJet { Booleano = 0x01, Byte = 0x02, Intero = 0x03, Lungo = 0x04, Singolo = 0x06, Doppio = 0x07,
               Testo = 0x0a, Memo = 0x0c };

struct Colonna {
    QString nome;
    int tipo = 0;  // libmdb's code; other types than TipoJet come as the raw bytes
    int lunghezza = 0;
};

// One table as stored. A Null is an invalid QVariant; an empty text is an empty, non-null QString;
// Boolean as bool, Byte as quint8, Integer as qint16, Long as qint32, Single as float, Double as double.
struct Tabella {
    QString nome;
    QList<Colonna> colonne;
    QList<QVariantList> righe;
    // Values libmdb gave differently from what the file holds (a text it could not convert whole).
    struct Difetto {
        qsizetype riga;
        int colonna;
        QString motivo;
    };
    QList<Difetto> difetti;
};

enum class Esito {
    Letto,
    NonJet,       // the file does not start like a database of the original engine
    Illeggibile,  // it does, but cannot be read whole: damaged, truncated, or a variant not handled
};

struct Lettura {
    Esito esito = Esito::Letto;
    QString dettaglio;  // what went wrong, in libmdb's words where it said something
    // The tables asked for, in the same order; none for a table the file does not have.
    QList<std::optional<Tabella>> tabelle;
};

// Called after each row read, with the table's name and the rows read so far.
using Avanzamento = std::function<void(const QString& tabella, qsizetype righe)>;

// Reads the named tables (names compared without regard to case) whole, or reports why not.
// libmdb runs in a child process: a crash or a hang on a damaged file becomes Illeggibile.
Lettura leggi(const QString& percorso, const QStringList& tabelle, const Avanzamento& avanzamento = {});

// The file starts with the header of a Jet or ACE database.
bool intestazioneJet(const QString& percorso);

} // namespace jet
