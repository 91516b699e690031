#pragma once

#include <QString>
#include <optional>

// The suite's profile file (Quendrix.ini), read and written with the rules the
// sibling programs expect: case-insensitive names, Windows-1252, own line endings.
namespace app {

// Value of `chiave` in `sezione`, at most 99 characters; empty when missing.
QString leggiIni(const QString& file, const QString& sezione, const QString& chiave);

// Writes one key. std::nullopt removes the key, an empty text keeps it empty.
// The write is atomic and serialised with other processes; false when it failed.
bool scriviIni(const QString& file, const QString& sezione, const QString& chiave,
               const std::optional<QString>& valore);

// The per-user configuration folder, with its trailing "/".
QString cartellaWindows();

// The part of `testo` before its first NUL character.
QString tagliaNul(const QString& testo);

} // namespace app
