#pragma once

#include <QString>
#include <QStringList>

// Every text the window shows, written once.
namespace testi {

using namespace Qt::StringLiterals;

inline const QString titoloFinestra = u"GESTIONE REGISTRI PER PROCEDURE SEMPLIFICATE EXPORT"_s;
inline const QString titoloProgramma = u"Pemtarx"_s;
inline const QString titoloErrore = u"TRESKO - ERRORE"_s;
inline const QString titoloConferma = u"TRESKO - CONFERMA"_s;

inline const QString societaInesistente = u"SOCIETA' INESISTENTE"_s;
inline const QString erroreAperturaRegistri = u"ERRORE IN APERTURA REGISTRI PROC. SEMPLIFICATA"_s;
inline const QString titoloAperturaRegistri = u"REGISTRI PROCEDURA SEMPLIFICATA"_s;
inline const QString erroreAperturaTestata = u"ERRORE IN APERTURA TESTATA REGISTRI PROC. SEMPLIFICATA"_s;
inline const QString titoloAperturaTestata = u"TESTATA REGISTRI PROCEDURA SEMPLIFICATA"_s;
inline const QString vecchioFormato = u"ARCHIVIO DEL VECCHIO FORMATO: CONVERTIRLO CON pemtarx-db importa --ini"_s;

inline const QString registroInesistente = u"REGISTRO INESISTENTE: INSERISCO"_s;
inline const QString confermiCancellazione = u"CONFERMI LA CANCELLAZIONE DEL REGISTRO?"_s;
inline const QString erroreScritturaRecord = u"ERRORE NELLA SCRITTURA DEL RECORD"_s;
inline const QString erroreScritturaTestata = u"ERRORE NELLA SCRITTURA DELLA TESTATA"_s;
inline const QString erroreCancellazione = u"ERRORE NELLA CANCELLAZIONE DEL REGISTRO"_s;
inline const QString erroreLettura = u"ERRORE IN LETTURA DEL REGISTRO"_s;
inline const QString registroCambiatoScrivi =
    u"UN ALTRO UTENTE HA MODIFICATO, INSERITO O CANCELLATO IL REGISTRO DOPO CHE E' STATO MOSTRATO: SALVO COMUNQUE?"_s;
inline const QString registroCambiatoElimina =
    u"UN ALTRO UTENTE HA MODIFICATO O CANCELLATO IL REGISTRO DOPO CHE E' STATO MOSTRATO: CANCELLO COMUNQUE?"_s;
inline const QString registroInUso = u"REGISTRO IN USO DA UN ALTRO UTENTE: RIPROVARE TRA POCO"_s;
inline const QString archivioNonScrivibile =
    u"IMPOSSIBILE SCRIVERE NEI REGISTRI DELLA SOCIETA': CHIEDERE IL PERMESSO DI SCRITTURA"_s;

inline const QString titoli[3] = {u"GESTIONE REGISTRI P.S. EXPORT"_s, u"VARIAZIONE REGISTRO P.S. EXPORT"_s,
                                  u"INSERIMENTO REGISTRO P.S. EXPORT"_s};
inline const QString titoloDisegno = u"INSERIMENTO REGISTRI PROCEDURA SEMPLIFICATA"_s;
inline const QString versioneDisegno = u"Vers."_s;

inline const QStringList vociProtocollo = {u"N=Nessuno"_s, u"F=Forzato"_s, u"G=Giornaliero"_s, u"P=Progressivo"_s};
inline const QStringList vociRiquadri = {u"A=Riquadro A"_s, u"C=Riquadro C"_s, u"T=Entrambi"_s};

// Italian button texts, whatever the system's language.
inline const QString pulsanteSi = u"&Sì"_s;
inline const QString pulsanteNo = u"&No"_s;
inline const QString pulsanteRiprova = u"&Riprova"_s;
inline const QString pulsanteAnnulla = u"&Annulla"_s;
inline const QString pulsanteOk = u"OK"_s;

} // namespace testi
