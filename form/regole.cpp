#include "regole.h"

#include "app/dialoghi.h"
#include "mappacampi.h"
#include "store/campi.h"
#include "testi.h"

#include <QVariant>

namespace regole {

using namespace Qt::StringLiterals;

const StatoModo& statoModo(Modo modo)
{
    static const std::array<StatoModo, 3> tabella{{
        {false, false, false, true, testi::titoli[Attesa]},
        {true, true, true, false, testi::titoli[Variazione]},
        {false, true, true, false, testi::titoli[Inserimento]},
    }};
    return tabella.at(static_cast<std::size_t>(modo));
}

void pulisciCampi(const Registro& registro, Maschera& m)
{
    m.DicKod = registro.SspCodice;
    for (int i = 1; i <= mappa::ultimoTxt; ++i)
        m.Txt[i] = u" "_s;
    m.Txt[6] = m.Txt[12] = u"0"_s;
    m.tipo = 3;
}

int opzioneTipo(const QString& carScar)
{
    if (carScar == u"S"_s)
        return 0;
    if (carScar == u"C"_s)
        return 1;
    if (carScar == u"G"_s)
        return 2;
    return -1;
}

namespace {

// The last entry whose first character is the code; the current one when none matches.
int voceDi(const QStringList& voci, const QString& codice, int attuale)
{
    int scelta = attuale;
    for (int i = 0; i < voci.size(); ++i)
        if (voci.at(i).left(1) == codice)
            scelta = i;
    return scelta;
}

// Numbers typed in a box, with the width of the column that stores them.
std::optional<qint64> numero(const QString& testo, qint64 massimo)
{
    const double n = store::numeroCampo(testo).toDouble();
    if (n > static_cast<double>(massimo) || n < -static_cast<double>(massimo) - 1)
        return std::nullopt;
    return static_cast<qint64>(n);
}

QString gruppo(const QString& testo) { return testo.trimmed().isEmpty() ? u"."_s : testo; }

} // namespace

QString meccanograficoMostrato(const Registro& r)
{
    const QVariant& numero = r.meccanogNumIntatto.isValid() ? r.meccanogNumIntatto : QVariant(r.SspMeccanogNum);
    return store::numeroCampo(numero).left(mappa::campo(3).lunghezza);
}

QString codiceVoce(const QStringList& voci, int indice)
{
    return indice >= 0 && indice < voci.size() ? voci.at(indice).left(1) : u" "_s;
}

void mostraRegistro(const Registro& r, const std::optional<TestataRegistro>& testata, Maschera& m)
{
    m.DicKod = r.SspCodice;
    m.Txt[1] = r.SspDescrizione;
    m.Txt[2] = r.SspCodiceDischetto;
    m.Txt[3] = meccanograficoMostrato(r);
    m.Txt[4] = r.SspMeccanogCin;
    m.Txt[5] = r.SspCodAutorizzazione;
    m.Txt[6] = QString::number(r.SspUltimoCarico);
    m.Txt[7] = r.SspGruppoCarico;
    m.Txt[8] = r.SspGruppoSCarico;
    m.Txt[9] = r.SspNTelefonoDaChiamare;
    m.Txt[10] = r.SspRiqA;
    m.Txt[12] = QString::number(r.SspUltimoCarico);
    m.serie = r.SspStampaperSerie;
    for (int i = 0; i < 5; ++i) {
        if (!testata) {
            m.Txt[mappa::primaRigaRegistro + i] = m.Txt[mappa::primaRigaPreavviso + i] = u" "_s;
            continue;
        }
        // A line stored as Null leaves its box as it was.
        if (!testata->TpsRiga[i].isNull())
            m.Txt[mappa::primaRigaRegistro + i] = testata->TpsRiga[i];
        if (!testata->TpsRigP[i].isNull())
            m.Txt[mappa::primaRigaPreavviso + i] = testata->TpsRigP[i];
    }
    m.protocollo = voceDi(testi::vociProtocollo, r.SspTipoProtocollo, m.protocollo);
    m.riquadri = voceDi(testi::vociRiquadri, r.SspACT, m.riquadri);
}

store::Esito leggiMaschera(const Maschera& m, Registro& r)
{
    r.SspCodice = m.DicKod;
    r.SspDescrizione = m.Txt[1];
    if (m.tipo == 0) {
        r.SspCarScar = u"S"_s;
        r.SspCodiceDischetto = r.SspMeccanogCin = r.SspCodAutorizzazione = QString(u""_s);
        r.SspMeccanogNum = 0;
        r.meccanogNumIntatto.clear();
        const auto ultimo = numero(m.Txt[12], std::numeric_limits<qint32>::max());
        if (!ultimo)
            return store::Esito::errore(store::erroreGenerico, u"numero fuori dai limiti"_s);
        r.SspUltimoCarico = static_cast<qint32>(*ultimo);
        r.SspGruppoCarico = u""_s;
        r.SspGruppoSCarico = u"."_s;
        r.SspNTelefonoDaChiamare = r.SspRiqA = u""_s;
        r.SspStampaperSerie = m.serie;
        return {};
    }
    if (m.tipo == 1)
        r.SspCarScar = u"C"_s;
    else if (m.tipo == 2)
        r.SspCarScar = u"G"_s;
    r.SspCodiceDischetto = m.Txt[2];
    // A stored number the box cannot hold stays as it was unless the clerk changed the box.
    const bool intatto = r.meccanogNumIntatto.isValid() && m.Txt[3] == meccanograficoMostrato(r);
    const auto meccanografico = intatto ? std::optional<qint64>(r.SspMeccanogNum)
                                        : numero(m.Txt[3], std::numeric_limits<qint16>::max());
    const auto ultimo = numero(m.Txt[6], std::numeric_limits<qint32>::max());
    if (!meccanografico || !ultimo)
        return store::Esito::errore(store::erroreGenerico, u"numero fuori dai limiti"_s);
    if (!intatto)
        r.meccanogNumIntatto.clear();
    r.SspMeccanogNum = static_cast<qint16>(*meccanografico);
    r.SspMeccanogCin = m.Txt[4];
    r.SspCodAutorizzazione = m.Txt[5];
    r.SspUltimoCarico = static_cast<qint32>(*ultimo);
    r.SspGruppoCarico = gruppo(m.Txt[7]);
    r.SspGruppoSCarico = gruppo(m.Txt[8]);
    r.SspNTelefonoDaChiamare = m.Txt[9];
    r.SspRiqA = m.Txt[10];
    r.SspStampaperSerie = false;
    r.SspTipoProtocollo = codiceVoce(testi::vociProtocollo, m.protocollo);
    r.SspACT = codiceVoce(testi::vociRiquadri, m.riquadri);
    return {};
}

TestataRegistro testataMaschera(const Maschera& m)
{
    TestataRegistro t;
    t.TpsCodice = m.DicKod;
    for (int i = 0; i < 5; ++i) {
        t.TpsRiga[i] = m.Txt[mappa::primaRigaRegistro + i].trimmed();
        t.TpsRigP[i] = m.Txt[mappa::primaRigaPreavviso + i].trimmed();
    }
    return t;
}

QString testoErrore(const QString& titolo, const store::Esito& e)
{
    return titolo + u'\n' + (e.numero == store::erroreBloccata ? testi::registroInUso : e.descrizione);
}

QString testoApertura(bool registri, const store::Esito& e)
{
    const QString& titolo = registri ? testi::erroreAperturaRegistri : testi::erroreAperturaTestata;
    if (e.numero == store::erroreBloccata)
        return titolo + u'\n' + e.descrizione;
    if (e.numero == store::erroreVecchioFormato)
        return titolo + u'\n' + testi::vecchioFormato;
    return titolo;
}

QString testoSocietaInesistente(const QStringList& ambigui)
{
    if (ambigui.isEmpty())
        return testi::societaInesistente;
    return testi::societaInesistente + u'\n' + testi::nomiAmbigui.arg(ambigui.join(u", "_s));
}

namespace {

void messaggio(app::Dialoghi& dialoghi, const QString& testo)
{
    dialoghi.chiedi(testo, testi::titoloProgramma, app::Pulsanti::Ok, app::Icona::Nessuna);
}

bool domanda(app::Dialoghi& dialoghi, const QString& testo)
{
    return dialoghi.chiedi(testo, testi::titoloConferma, app::Pulsanti::SiNo, app::Icona::Domanda, app::No) != app::No;
}

} // namespace

std::optional<Modo> controllaCodice(store::ArchivioRegistri& archivio, app::Dialoghi& dialoghi, Registro& corrente,
                                    Righe& mostrate, Maschera& m)
{
    corrente.azzera();
    mostrate = {};
    // A code of blanks only is no register: nothing to look up or insert.
    if (corrente.SspCodice.trimmed().isEmpty())
        return std::nullopt;
    if (const store::Esito e = archivio.trova(corrente.SspCodice, mostrate); !e.ok()) {
        messaggio(dialoghi, testoErrore(testi::erroreLettura, e));
        return std::nullopt;
    }
    Modo modo = Attesa;
    if (mostrate.registro) {
        modo = Variazione;
        corrente = store::leggiRegistro(*mostrate.registro);
    } else if (domanda(dialoghi, testi::registroInesistente)) {
        modo = Inserimento;
    }
    mostraRegistro(corrente, mostrate.testata ? std::optional(store::leggiTestata(*mostrate.testata)) : std::nullopt, m);
    return modo;
}

bool salva(store::ArchivioRegistri& archivio, app::Dialoghi& dialoghi, Registro& corrente, const Righe& mostrate,
           Maschera m)
{
    // The code field may show a stored code cut to its length: the register keeps its own.
    m.DicKod = corrente.SspCodice;
    Registro nuovo = corrente;
    if (!leggiMaschera(m, nuovo).ok()) {
        messaggio(dialoghi, testi::erroreScritturaRecord);
        return false;
    }
    // A number written by another program is replaced only when the clerk agrees.
    if (corrente.meccanogNumIntatto.isValid() && !nuovo.meccanogNumIntatto.isValid() &&
        !domanda(dialoghi, testi::meccanograficoSostituito.arg(store::numeroCampo(corrente.meccanogNumIntatto))))
        return false;
    const TestataRegistro testata = testataMaschera(m);
    auto esito = archivio.scrivi(nuovo, testata, &mostrate);
    if (esito.esito.numero == store::erroreCambiato) {
        if (!domanda(dialoghi, testi::registroCambiatoScrivi))
            return false;
        esito = archivio.scrivi(nuovo, testata);
    }
    if (esito.esito.ok()) {
        corrente = nuovo;
        return true;
    }
    const bool testataFallita = esito.fase == store::ArchivioRegistri::Fase::Testata;
    messaggio(dialoghi,
              testoErrore(testataFallita ? testi::erroreScritturaTestata : testi::erroreScritturaRecord, esito.esito));
    return false;
}

Cancellazione elimina(store::ArchivioRegistri& archivio, app::Dialoghi& dialoghi, const QString& codice,
                      const Righe& mostrate)
{
    if (!domanda(dialoghi, testi::confermiCancellazione))
        return Cancellazione::Rinunciata;
    store::Esito e = archivio.elimina(codice, nullptr, &mostrate);
    if (e.numero == store::erroreCambiato) {
        if (!domanda(dialoghi, testi::registroCambiatoElimina))
            return Cancellazione::Tenuta;
        e = archivio.elimina(codice);
    }
    if (!e.ok())
        messaggio(dialoghi, testoErrore(testi::erroreCancellazione, e));
    return Cancellazione::Conclusa;
}

} // namespace regole
