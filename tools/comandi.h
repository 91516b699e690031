#pragma once

#include <QStringList>
#include <optional>

namespace store {
class ArchivioRegistri;
}

// The subcommands of pemtarx-db; each takes its own arguments and returns the exit status.
namespace pemtarxdb {

inline constexpr int esitoRiuscito = 0;
inline constexpr int esitoErrore = 1;
inline constexpr int esitoUso = 2;

int crea(const QStringList& argomenti);
int esempio(const QStringList& argomenti);
int verifica(const QStringList& argomenti);
int copia(const QStringList& argomenti);
int storico(const QStringList& argomenti);
int ripristina(const QStringList& argomenti);

// The stores the arguments name, one each, "--ini SETTINGS" as "--ini=SETTINGS"; none for a lone --ini.
std::optional<QStringList> archivi(const QStringList& argomenti);
// The file or address of one of them, a settings file resolved as the program resolves it; none,
// with the reason given, when the settings file is missing.
std::optional<QString> posizione(const QString& archivio);

// Opens an existing company store; false, with the reason given, for a file that is missing, of the
// original engine, locked or damaged, or a server that cannot be reached.
bool apriArchivio(store::ArchivioRegistri& archivio, const QString& posizione);

// A message for the clerk on standard error, and the one-line outcome on standard output.
void segnala(const QString& testo);
void riferisci(const QString& testo);
// A usage error: the reason and the usage on standard error, and the exit status for it.
int erroreUso(const QString& testo);

} // namespace pemtarxdb
