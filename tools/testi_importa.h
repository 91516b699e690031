#pragma once

#include <QString>

// Every text of the import from the original engine's files, written once.
namespace pemtarxdb::testiImporta {

using namespace Qt::StringLiterals;

inline const QString argomenti = u"ORIGINE DESTINAZIONE | --ini FILE"_s;
inline const QString uso = u"USO: pemtarx-db importa ORIGINE DESTINAZIONE  OPPURE  pemtarx-db importa --ini FILE"_s;
inline const QString aiuto =
    u"porta i registri di un archivio del vecchio formato (ORIGINE, Jet 4) in un archivio nuovo\n"
    u"      DESTINAZIONE, che non deve esistere; con --ini FILE converte sul posto l'archivio della\n"
    u"      società indicata dal file delle impostazioni e conserva il vecchio come dogana.mdb.jet.\n"
    u"      Ogni valore passa com'è; se uno solo non può passare esattamente non si scrive nulla.\n"
    u"      Lavora solo su file: per un server si importa in un file e poi lo si copia con copia."_s;

inline const QString fileInesistente = u"FILE INESISTENTE: %1"_s;
inline const QString fileEsistente = u"FILE ESISTENTE, LASCIATO COM'E': %1"_s;
inline const QString nonJet = u"IL FILE NON E' UN ARCHIVIO DEL VECCHIO FORMATO: %1"_s;
inline const QString giaConvertito = u"L'ARCHIVIO NON E' DEL VECCHIO FORMATO (GIA' CONVERTITO?): %1"_s;
inline const QString illeggibile = u"IL FILE NON SI PUO' LEGGERE PER INTERO (DANNEGGIATO O TRONCATO): %1\n%2"_s;
inline const QString registriMancanti = u"NEL FILE MANCA LA TABELLA DEI REGISTRI %2: %1"_s;
inline const QString testataMancante = u"NEL FILE MANCA LA TABELLA DELLE TESTATE %1: IMPORTATI I SOLI REGISTRI"_s;
inline const QString colonnaMancante = u"NELLA TABELLA %1 MANCA LA COLONNA %2"_s;
inline const QString colonnaInattesa = u"LA TABELLA %1 HA LA COLONNA %2, CHE L'ARCHIVIO NUOVO NON HA: I SUOI VALORI ANDREBBERO PERSI"_s;
inline const QString valoreInesatto = u"VALORE CHE NON PUO' PASSARE ESATTAMENTE: %1, RIGA %2 (CODICE %3), COLONNA %4: %5"_s;
inline const QString nienteScritto = u"NULLA E' STATO SCRITTO: %1"_s;
inline const QString originaleIntatto = u"L'ARCHIVIO ORIGINALE E' RIMASTO COM'ERA: %1"_s;
inline const QString erroreScrittura = u"ERRORE NELLA SCRITTURA DELL'ARCHIVIO: %1\n%2"_s;
inline const QString soloFile =
    u"IMPORTA LAVORA SOLO SU FILE, NON SU UN SERVER: %1\n"
    u"PER UN SERVER: pemtarx-db importa ORIGINE FILE, POI pemtarx-db copia FILE SERVER"_s;
inline const QString copiaEsistente = u"ESISTE GIA' %1: SPOSTARLO PRIMA DI CONVERTIRE"_s;

inline const QString motivoTipo = u"valore di tipo %1, la colonna è di tipo %2"_s;
inline const QString motivoFuoriMisura = u"%1 non sta in un intero di %2 bit"_s;
inline const QString motivoReale = u"%1 non si conserva esattamente nell'archivio nuovo"_s;
inline const QString motivoCodiceNullo = u"codice Null: una riga senza codice non può essere scritta"_s;
inline const QString motivoCodiceRipetuto = u"codice ripetuto (le maiuscole non contano): %1"_s;
inline const QString motivoRiletto = u"scritto %1, riletto %2"_s;
inline const QString motivoRighe = u"scritte %1 righe, rilette %2"_s;

inline const QString progressoLettura = u"LETTE %1 RIGHE DI %2"_s;
inline const QString progressoScrittura = u"SCRITTE %1 RIGHE DI %2"_s;

inline const QString riepilogoRegistri = u"REGISTRI: LETTI %1, SCRITTI %2"_s;
inline const QString riepilogoTestate = u"RIGHE DI TESTATA: LETTE %1, SCRITTE %2"_s;
inline const QString testateSenzaRegistro = u"RIGHE DI TESTATA SENZA REGISTRO (IMPORTATE COME SONO): %1"_s;
inline const QString registriSenzaTestata = u"REGISTRI SENZA RIGA DI TESTATA (IMPORTATI COME SONO): %1"_s;
inline const QString nessuno = u"NESSUNO"_s;
inline const QString importato = u"ARCHIVIO IMPORTATO: %1"_s;
inline const QString convertito = u"ARCHIVIO CONVERTITO: %1 (IL VECCHIO E' CONSERVATO IN %2)"_s;

} // namespace pemtarxdb::testiImporta
