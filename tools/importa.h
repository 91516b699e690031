#pragma once

#include <QStringList>

namespace jet {
struct Lettura;
}

namespace pemtarxdb {

// pemtarx-db importa ORIGINE DESTINAZIONE, or importa --ini FILE to convert the company file in
// place; returns the exit status. Everything or nothing: a failure leaves no new file and the
// original untouched.
int importa(const QStringList& argomenti);

// Writes the tables read from `origine` into the new company file `destinazione` (refused if it
// exists) and reports; the part of importa after libmdb's reading.
int importaLettura(const jet::Lettura& letta, const QString& origine, const QString& destinazione);

} // namespace pemtarxdb
