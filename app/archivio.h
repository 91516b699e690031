#pragma once

#include <QString>
#include <QStringList>

// Where the company's registers are, as start-up reads it from the settings file; the window and the tool share it.
namespace app {

// What a name is expected to be on disk.
enum class Voce { File, Cartella };

// `nome` in `cartella`: the entry of that kind with exactly that name, else the only one whose name differs
// from it in case alone, as Windows would find it; the exact path when none is, or when several are, which
// then go into `ambigui`. Nothing is renamed.
QString trovaVoce(const QString& cartella, const QString& nome, Voce voce, QStringList* ambigui = nullptr);

// The settings file: Quendrix.ini beside the program, else in the per-user folder, whether it exists or not.
QString fileImpostazioni(const QString& cartellaProgramma, QStringList* ambigui = nullptr);

// DIRINI in the section PATH; the root when it is missing or blank.
QString cartellaDati(const QString& fileIni);

// The company's store as the settings file chooses it: the file dogana.mdb in the company's folder (both
// found as trovaVoce finds them), or, with DRIVER=QPSQL in the section DATABASE, the address of the
// company's database on the server.
QString posizioneArchivio(const QString& fileIni, const QString& cartellaDati, const QString& codiceSocieta,
                          QStringList* ambigui = nullptr);
// The same when only the settings file is known: company and data folder are read from it as the window does.
QString posizioneArchivio(const QString& fileIni, QStringList* ambigui = nullptr);

} // namespace app
