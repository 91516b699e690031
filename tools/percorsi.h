#pragma once

#include <QString>
#include <optional>

// Where the tool's files are: the store a settings file names, and the folder of a new company file.
namespace pemtarxdb {

// The store the settings file names, found as the window finds it; none, with the reason on standard
// error, when the settings file is missing or two names differ only in case.
std::optional<QString> archivioDalleImpostazioni(const QString& ini);

// The folder a new file goes into exists and may be written; false, with the reason on standard error.
bool cartellaScrivibile(const QString& file);

// A new file in a folder its group may write (an office's shared folder): the folder's group, and
// writable by it, so that every clerk can save. Elsewhere the file stays as it was made.
void perIlGruppo(const QString& file);

} // namespace pemtarxdb
