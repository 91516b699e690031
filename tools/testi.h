#pragma once

#include <QString>

// Every text the database tool shows, written once.
namespace pemtarxdb::testi {

using namespace Qt::StringLiterals;

inline const QString uso = u"USO: pemtarx-db COMANDO ARCHIVIO  (pemtarx-db --help PER L'AIUTO)"_s;
inline const QString archivio = u"FILE | INDIRIZZO | --ini IMPOSTAZIONI"_s;
inline const QString comandoMancante = u"COMANDO MANCANTE"_s;
inline const QString comandoSconosciuto = u"COMANDO SCONOSCIUTO: %1"_s;
inline const QString argomentiErrati = u"ARGOMENTI ERRATI: USO pemtarx-db %1 %2"_s;
inline const QString opzioneSconosciuta = u"OPZIONE SCONOSCIUTA: %1 (UN FILE IL CUI NOME INIZIA CON \"-\" SI SCRIVE ./%1)"_s;
inline const QString nomeVuoto = u"NOME DI FILE VUOTO"_s;
inline const QString nomiAmbigui = u"NOMI CHE DIFFERISCONO SOLO PER LE MAIUSCOLE, NESSUNO USATO: %1"_s;

inline const QString fileEsistente = u"FILE ESISTENTE: %1"_s;
inline const QString cartellaInesistente = u"CARTELLA INESISTENTE: %1"_s;
inline const QString cartellaNonScrivibile = u"CARTELLA IN CUI NON SI PUO' SCRIVERE (PERMESSI): %1"_s;
inline const QString fileInesistente = u"FILE INESISTENTE: %1"_s;
inline const QString erroreCreazione = u"ERRORE NELLA CREAZIONE DELL'ARCHIVIO: %1\n%2"_s;
inline const QString nessunFile = u"il motore non ha scritto alcun file"_s;
inline const QString archivioCreato = u"ARCHIVIO CREATO: %1"_s;
inline const QString erroreEsempio = u"ERRORE NELLA SCRITTURA DEI REGISTRI DI ESEMPIO: %1\n%2"_s;
inline const QString esempioCreato = u"ARCHIVIO DI ESEMPIO CREATO: %1 (%2 REGISTRI)"_s;
inline const QString archivioPresente = u"ARCHIVIO GIA' PRESENTE NEL DATABASE, LASCIATO COM'E': %1\n%2"_s;
inline const QString stessoArchivio = u"SORGENTE E DESTINAZIONE COINCIDONO: %1"_s;
inline const QString destinazionePiena = u"LA DESTINAZIONE CONTIENE GIA' DEI REGISTRI, LASCIATA COM'E': %1\n%2"_s;
inline const QString erroreCopia = u"ERRORE NELLA COPIA, NULLA E' STATO SCRITTO IN: %1\n%2"_s;
inline const QString copiaRiuscita = u"COPIATI %1 REGISTRI E %2 TESTATE DA %3 A %4"_s;

inline const QString vecchioFormato = u"ARCHIVIO DEL VECCHIO FORMATO, LASCIATO COM'E': %1"_s;
inline const QString nonArchivio = u"IL FILE NON E' UN ARCHIVIO DEI REGISTRI: %1\n%2"_s;
inline const QString archivioBloccato = u"ARCHIVIO BLOCCATO DA UN ALTRO UTENTE: %1\n%2"_s;
inline const QString erroreLettura = u"ERRORE IN LETTURA DELL'ARCHIVIO: %1\n%2"_s;
inline const QString tabellaMancante = u"TABELLA MANCANTE: %1"_s;
inline const QString colonnaMancante = u"COLONNA MANCANTE: %1"_s;
inline const QString chiaveMancante = u"CHIAVE PRIMARIA MANCANTE NELLA TABELLA: %1"_s;
inline const QString archivioDanneggiato = u"ARCHIVIO DANNEGGIATO: %1"_s;
inline const QString registroSenzaTestata = u"ATTENZIONE: REGISTRO SENZA TESTATA: %1"_s;
inline const QString testataSenzaRegistro = u"ATTENZIONE: TESTATA SENZA REGISTRO: %1"_s;
inline const QString archivioNonValido = u"ARCHIVIO NON VALIDO: %1"_s;
inline const QString archivioIntegro = u"ARCHIVIO INTEGRO: %1 (%2 REGISTRI, %3 TESTATE)"_s;

inline const QString aiutoIntestazione =
    u"pemtarx-db - archivi dei registri delle procedure semplificate export (dogana.mdb)\n"
    u"\n"
    u"USO: pemtarx-db COMANDO ARCHIVIO\n"
    u"\n"
    u"COMANDI:\n"_s;
inline const QString aiutoRiga = u"  %1\n      %2\n"_s;
inline const QString aiutoArchivi =
    u"\n"
    u"ARCHIVIO (e ciascuno tra SORGENTE e DESTINAZIONE) è uno di:\n"
    u"  FILE\n"
    u"      il file SQLite della società, per esempio /dati/001/dogana.mdb;\n"
    u"  INDIRIZZO\n"
    u"      un database PostgreSQL esistente, scritto come lo legge libpq:\n"
    u"      postgresql://UTENTE@HOST:PORTA/NOME, oppure postgresql:///NOME?host=/var/run/postgresql\n"
    u"      per il socket locale, con gli altri parametri di libpq dopo il \"?\" (sslmode=verify-full);\n"
    u"      la parola d'ordine viene da ~/.pgpass o PGPASSFILE, mai dalla riga di comando;\n"
    u"  --ini IMPOSTAZIONI\n"
    u"      l'archivio della società che il file delle impostazioni (Quendrix.ini) indica, trovato come\n"
    u"      lo trova il programma: il file dogana.mdb, o il server della sezione [DATABASE].\n"
    u"\n"_s;
inline const QString aiutoChiusura =
    u"  --help, -h\n"
    u"      mostra questo aiuto.\n"
    u"  --version\n"
    u"      mostra la versione.\n"
    u"\n"
    u"I messaggi vanno sullo standard error. Esito: 0 riuscito, 1 errore, 2 comando o argomenti errati.\n"_s;

inline const QString aiutoCrea =
    u"crea un archivio vuoto della società, con la tabella dei registri e quella delle testate;\n"
    u"      un file che esiste già non viene toccato. Su un server crea le tabelle nel database, che\n"
    u"      deve esistere; un database che ha già le tabelle non viene toccato. In una cartella\n"
    u"      condivisa con un gruppo il file nuovo è del gruppo della cartella, che può scriverlo."_s;
inline const QString aiutoEsempio =
    u"crea un archivio nuovo con circa 20 registri dimostrativi: gruppi di carico (G), registri\n"
    u"      di carico (C) collegati ai gruppi e ai registri di scarico, registri di scarico (S) con le\n"
    u"      righe di intestazione; un file che esiste già non viene toccato. Su un server crea le\n"
    u"      tabelle nel database, che deve esistere, e le riempie in una sola transazione."_s;
inline const QString aiutoVerifica =
    u"controlla l'archivio senza modificarlo: le due tabelle con tutte le colonne e la chiave,\n"
    u"      l'integrità del file; i registri senza testata e le testate senza registro sono solo\n"
    u"      segnalati. Esce con 0 se l'archivio è sano, con 1 altrimenti (anche per un file che\n"
    u"      manca, che non è SQLite o che è del vecchio formato). Su un server controlla le due\n"
    u"      tabelle del database senza modificarle."_s;
inline const QString aiutoCopia =
    u"copia tutti i registri e le testate della SORGENTE nella DESTINAZIONE, da un file a un server\n"
    u"      o al contrario, in una sola transazione: tutte le righe o nessuna; i valori passano come\n"
    u"      sono. Un FILE di destinazione non deve esistere e viene creato; un database deve esistere,\n"
    u"      senza registri; le tabelle mancanti vengono create. Riferisce quante righe ha copiato."_s;

inline const QString argomentiStorico = archivio + u" [CODICE] [--csv]"_s;
inline const QString argomentiRipristina = archivio + u" CODICE NUMERO"_s;
inline const QString aiutoStorico =
    u"elenca le scritture dei registri, dalla più vecchia: tutte, o quelle del CODICE; per ognuna\n"
    u"      il numero, il momento (UTC), l'utente, il computer, l'operazione e le due righe del registro\n"
    u"      come sono state scritte. Con --csv, valori separati da \";\" con una riga di intestazione,\n"
    u"      per un foglio di calcolo."_s;
inline const QString aiutoRipristina =
    u"riscrive il registro CODICE e la sua testata come erano nella riga NUMERO dello storico, in una\n"
    u"      sola transazione con la sua riga di storico (RIPRISTINO); un registro cancellato torna, uno\n"
    u"      esistente viene sostituito. Rifiuta, senza scrivere nulla, un NUMERO che non c'è o che è di\n"
    u"      un altro codice."_s;
inline const QString storicoAssente = u"STORICO NON ANCORA PRESENTE, SARA' AGGIUNTO AL PRIMO SALVATAGGIO: %1"_s;
inline const QString storicoPresente = u"STORICO: %1 SCRITTURE REGISTRATE"_s;
inline const QString copiaStorico = u"COPIATE %1 RIGHE DELLO STORICO"_s;
inline const QString numeroNonValido = u"NUMERO NON VALIDO: %1"_s;
inline const QString numeroInesistente = u"NUMERO %1 INESISTENTE NELLO STORICO, NULLA E' STATO SCRITTO IN: %2"_s;
inline const QString numeroAltroCodice = u"LA RIGA %1 DELLO STORICO NON E' DEL REGISTRO %2, NULLA E' STATO SCRITTO"_s;
inline const QString erroreRipristino = u"ERRORE NEL RIPRISTINO, NULLA E' STATO SCRITTO IN: %1\n%2"_s;
inline const QString ripristinoRiuscito = u"REGISTRO %1 RIPRISTINATO COM'ERA NELLA RIGA %2 DELLO STORICO"_s;

} // namespace pemtarxdb::testi
