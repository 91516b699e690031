#include "tools/esempio.h"

#include "store/registro.h"
#include "store/archivioregistri.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

// Loading groups ("G"): one numbering shared by the loading registers that name them.
struct Gruppo {
    QString codice, descrizione;
    qint32 ultimo;
    QString protocollo, riquadri, timbro;
};

// Unloading registers ("S"), with the lines printed on the register and on the advance notice.
struct Scarico {
    QString codice, descrizione;
    qint32 ultimo;
    bool perSerie;
    QString protocollo, riquadri;
    QStringList registro, preavviso;
};

// Loading registers ("C"), linked to a group, to an unloading register, or to both.
struct Carico {
    QString codice, descrizione;
    qint32 ultimo;
    QString gruppo, scarico, serieEdi;
    qint16 meccanografico;
    QString cin, autorizzazione, magazzino, timbro, protocollo, riquadri;
};

const Gruppo gruppi[] = {
    {u"GMI"_s, u"GRUPPO CARICO MILANO"_s, 1842, u"G"_s, u"A"_s, u"DOGANA MI 2"_s},
    {u"GVR"_s, u"GRUPPO CARICO VERONA"_s, 517, u"P"_s, u"C"_s, u"DOGANA VR"_s},
    {u"GBO"_s, u"GRUPPO CARICO BOLOGNA"_s, 96, u"N"_s, u"T"_s, u"DOGANA BO"_s},
};

const Scarico scarichi[] = {
    {u"SMI"_s, u"SCARICO EXPORT MILANO"_s, 4521, true, u"G"_s, u"A"_s,
     {u"DOGANA DI MILANO - SEZIONE EXPORT"_s, u"AUTOTRASPORTI LOMBARDI S.P.A."_s,
      u"VIA DELL'INDUSTRIA 12 - 20090 SEGRATE (MI)"_s, u"REGISTRO DI SCARICO SERIE @ - BIMESTRE #"_s, u""_s},
     {u"PREAVVISO DI SPEDIZIONE"_s, u"AUTOTRASPORTI LOMBARDI S.P.A."_s, u"DOGANA DI MILANO 2"_s, u""_s, u""_s}},
    {u"SVR"_s, u"SCARICO EXPORT VERONA"_s, 1203, false, u"P"_s, u"C"_s,
     {u"DOGANA DI VERONA - SEZIONE OPERATIVA TERRITORIALE"_s, u"FRIGOTRASPORTI SCALIGERI S.R.L."_s,
      u"VIALE DEL LAVORO 45 - 37135 VERONA"_s, u"BIMESTRE #"_s, u""_s},
     {u"PREAVVISO DI SPEDIZIONE - VERONA"_s, u"FRIGOTRASPORTI SCALIGERI S.R.L."_s, u""_s, u""_s, u""_s}},
    {u"SBO"_s, u"SCARICO EXPORT BOLOGNA"_s, 388, true, u"G"_s, u"T"_s,
     {u"DOGANA DI BOLOGNA - SEZIONE EXPORT"_s, u"CERAMICHE EMILIANE S.P.A."_s,
      u"VIA EMILIA PONENTE 210 - 40133 BOLOGNA"_s, u""_s, u""_s},
     {u"PREAVVISO DI SPEDIZIONE"_s, u"CERAMICHE EMILIANE S.P.A."_s, u""_s, u""_s, u""_s}},
    {u"STO"_s, u"SCARICO EXPORT TORINO"_s, 2750, true, u"F"_s, u"A"_s,
     {u"DOGANA DI TORINO - UFFICIO EXPORT"_s, u"MECCANICA SUBALPINA S.R.L."_s,
      u"CORSO ORBASSANO 330 - 10137 TORINO"_s, u"SERIE @"_s, u""_s},
     {u"PREAVVISO DI SPEDIZIONE"_s, u"MECCANICA SUBALPINA S.R.L."_s, u"DOGANA DI TORINO"_s, u""_s, u""_s}},
    {u"SGE"_s, u"SCARICO PORTO DI GENOVA"_s, 15890, false, u"P"_s, u"A"_s,
     {u"DOGANA DI GENOVA - SEZIONE PORTO"_s, u"SPEDIZIONI MARITTIME LIGURI S.P.A."_s,
      u"PONTE SAN GIORGIO - 16126 GENOVA"_s, u""_s, u""_s},
     {u"PREAVVISO DI IMBARCO"_s, u"SPEDIZIONI MARITTIME LIGURI S.P.A."_s, u""_s, u""_s, u""_s}},
    {u"SMXP"_s, u"SCARICO MALPENSA CARGO"_s, 7312, true, u"G"_s, u"C"_s,
     {u"DOGANA DI MALPENSA - CARGO CITY"_s, u"AEROSPEDIZIONI VARESINE S.R.L."_s,
      u"CARGO CITY EDIFICIO 2 - 21010 FERNO (VA)"_s, u""_s, u""_s},
     {u"PREAVVISO DI SPEDIZIONE AEREA"_s, u"AEROSPEDIZIONI VARESINE S.R.L."_s, u""_s, u""_s, u""_s}},
    {u"SPD"_s, u"SCARICO EXPORT PADOVA"_s, 0, true, u"N"_s, u"A"_s,
     {u"DOGANA DI PADOVA"_s, u"CALZATURIFICIO DEL BRENTA S.N.C."_s, u"VIA VENEZIA 59 - 35129 PADOVA"_s, u""_s,
      u""_s},
     {u""_s, u""_s, u""_s, u""_s, u""_s}},
};

const Carico carichi[] = {
    {u"CMI01"_s, u"CARICO MERCI NAZIONALI MILANO"_s, 0, u"GMI"_s, u"SMI"_s, u"A1"_s, 12345, u"K"_s,
     u"0123/PS/E"_s, u"M01"_s, u"AUT. 0123/PS"_s, u"G"_s, u"A"_s},
    {u"CMI02"_s, u"CARICO MERCI COMUNITARIE MI"_s, 0, u"GMI"_s, u"SMI"_s, u"A2"_s, 12346, u"K"_s,
     u"0123/PS/E"_s, u"M01"_s, u"AUT. 0123/PS"_s, u"G"_s, u"A"_s},
    {u"CMI03"_s, u"CARICO DEPOSITO SEGRATE"_s, 0, u"GMI"_s, u"SMXP"_s, u"A3"_s, 12347, u"X"_s,
     u"0124/PS/E"_s, u"M02"_s, u"AUT. 0124/PS"_s, u"P"_s, u"C"_s},
    {u"CVR01"_s, u"CARICO FRIGO VERONA"_s, 0, u"GVR"_s, u"SVR"_s, u"V1"_s, 20871, u"B"_s, u"0871/PS/E"_s,
     u"V01"_s, u"AUT. 0871/PS"_s, u"P"_s, u"C"_s},
    {u"CVR02"_s, u"CARICO ORTOFRUTTA VERONA"_s, 0, u"GVR"_s, u"SVR"_s, u"V2"_s, 20872, u"B"_s,
     u"0871/PS/E"_s, u"V02"_s, u"AUT. 0871/PS"_s, u"P"_s, u"C"_s},
    {u"CBO01"_s, u"CARICO CERAMICHE SASSUOLO"_s, 0, u"GBO"_s, u"SBO"_s, u"B1"_s, 30512, u"M"_s,
     u"0512/PS/E"_s, u"B01"_s, u"AUT. 0512/PS"_s, u"G"_s, u"T"_s},
    {u"CTO01"_s, u"CARICO MECCANICA TORINO"_s, 2750, u"."_s, u"STO"_s, u"T1"_s, 10433, u"R"_s,
     u"0433/PS/E"_s, u"T01"_s, u"AUT. 0433/PS"_s, u"F"_s, u"A"_s},
    {u"CGE01"_s, u"CARICO CONTAINER GENOVA"_s, 15890, u"."_s, u"SGE"_s, u"G1"_s, 16021, u"L"_s,
     u"0021/PS/E"_s, u"G01"_s, u"AUT. 0021/PS"_s, u"P"_s, u"A"_s},
    {u"CPD01"_s, u"CARICO CALZATURE PADOVA"_s, 145, u"."_s, u"SPD"_s, u"P1"_s, 25110, u"D"_s,
     u"0110/PS/E"_s, u"P01"_s, u"AUT. 0110/PS"_s, u"N"_s, u"A"_s},
    {u"CLOC"_s, u"CARICO LOCALE SENZA SCARICO"_s, 12, u"."_s, u"."_s, u""_s, 0, u""_s, u""_s, u""_s,
     u""_s, u"G"_s, u"A"_s},
};

TestataRegistro testata(const QStringList& registro, const QStringList& preavviso)
{
    TestataRegistro t;
    for (int i = 0; i < 5; ++i) {
        t.TpsRiga[i] = registro.value(i);
        t.TpsRigP[i] = preavviso.value(i);
    }
    return t;
}

// The loading columns of a loading group that the window hides stay empty.
Registro gruppo(const Gruppo& g)
{
    Registro r{g.codice};
    r.SspDescrizione = g.descrizione;
    r.SspCarScar = u"G"_s;
    r.SspUltimoCarico = g.ultimo;
    r.SspGruppoCarico = u"."_s;
    r.SspGruppoSCarico = u"."_s;
    r.SspStampaperSerie = false;
    r.SspCodiceDischetto = r.SspMeccanogCin = r.SspCodAutorizzazione = r.SspNTelefonoDaChiamare = u""_s;
    r.SspMeccanogNum = 0;
    r.SspRiqA = g.timbro;
    r.SspTipoProtocollo = g.protocollo;
    r.SspACT = g.riquadri;
    return r;
}

Registro scarico(const Scarico& s)
{
    Registro r{s.codice};
    r.SspDescrizione = s.descrizione;
    r.SspCarScar = u"S"_s;
    r.SspUltimoCarico = s.ultimo;
    r.SspGruppoCarico = u""_s;
    r.SspGruppoSCarico = u"."_s;
    r.SspStampaperSerie = s.perSerie;
    r.SspCodiceDischetto = r.SspMeccanogCin = r.SspCodAutorizzazione = u""_s;
    r.SspNTelefonoDaChiamare = r.SspRiqA = u""_s;
    r.SspMeccanogNum = 0;
    r.SspTipoProtocollo = s.protocollo;
    r.SspACT = s.riquadri;
    return r;
}

Registro carico(const Carico& c)
{
    Registro r{c.codice};
    r.SspDescrizione = c.descrizione;
    r.SspCarScar = u"C"_s;
    r.SspUltimoCarico = c.ultimo;
    r.SspGruppoCarico = c.gruppo;
    r.SspGruppoSCarico = c.scarico;
    r.SspStampaperSerie = false;
    r.SspCodiceDischetto = c.serieEdi;
    r.SspMeccanogNum = c.meccanografico;
    r.SspMeccanogCin = c.cin;
    r.SspCodAutorizzazione = c.autorizzazione;
    r.SspNTelefonoDaChiamare = c.magazzino;
    r.SspRiqA = c.timbro;
    r.SspTipoProtocollo = c.protocollo;
    r.SspACT = c.riquadri;
    return r;
}

} // namespace

store::Esito riempiEsempio(store::ArchivioRegistri& archivio)
{
    const auto salva = [&archivio](const Registro& r, const TestataRegistro& t) {
        return archivio.scrivi(r, t).esito;
    };
    // Groups and unloading registers first, so every link points at a register already there.
    for (const Gruppo& g : gruppi)
        if (store::Esito e = salva(gruppo(g), {}); !e.ok())
            return e;
    for (const Scarico& s : scarichi)
        if (store::Esito e = salva(scarico(s), testata(s.registro, s.preavviso)); !e.ok())
            return e;
    for (const Carico& c : carichi)
        if (store::Esito e = salva(carico(c), {}); !e.ok())
            return e;
    return {};
}
