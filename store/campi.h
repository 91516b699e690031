#pragma once

#include <QString>

class QSqlRecord;
class QVariant;
struct Registro;
struct TestataRegistro;

// Reading column values that rows written by other programs may leave Null or odd.
namespace store {

// The value as text; the default (a blank unless given) for Null, blanks only or a leading NUL.
QString testoCampo(const QVariant& valore, const QString& predefinito = QString());
// The value as the text of a number; "0" for Null, blanks or anything that is not a number.
QString numeroCampo(const QVariant& valore);

// Row of the register table into the buffer, every column null-safe.
Registro leggiRegistro(const QSqlRecord& riga);
// Row of the heading table; a Null line reads as an empty text.
TestataRegistro leggiTestata(const QSqlRecord& riga);

} // namespace store
