#pragma once

#include <QStringList>
#include <optional>

// The subcommands of pemtarx-db; each takes its own arguments and returns the exit status.
namespace pemtarxdb {

inline constexpr int esitoRiuscito = 0;
inline constexpr int esitoErrore = 1;
inline constexpr int esitoUso = 2;

int crea(const QStringList& argomenti);
int esempio(const QStringList& argomenti);
int verifica(const QStringList& argomenti);
int copia(const QStringList& argomenti);

// The stores the arguments name, each "--ini SETTINGS" resolved as the program resolves it; none,
// with the reason given, when a settings file is missing.
std::optional<QStringList> archivi(const QStringList& argomenti);

// A message for the clerk on standard error, and the one-line outcome on standard output.
void segnala(const QString& testo);
void riferisci(const QString& testo);

} // namespace pemtarxdb
