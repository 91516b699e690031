#include "righe.h"

#include "store/campi.h"

#include <cmath>

namespace righe {

using namespace Qt::StringLiterals;

namespace {

QString inColonne(const QString& testo, int larghezza) { return testo.leftJustified(larghezza, u' ', true); }

// A whole number as the engine gives it; Null, texts and odd values read as 0, fractions rounded.
qlonglong intero(const QVariant& v)
{
    if (v.isNull())
        return 0;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (ok)
        return n;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d) ? std::llround(d) : 0;
}

QString meccanografico(const QVariant& numero, const QVariant& cin)
{
    const qlonglong n = intero(numero);
    if (n <= 0)
        return QString(8, u' ');
    return inColonne(QString::number(n).rightJustified(6, u'0') + cin.toString(), 8);
}

} // namespace

QString allineaDestra(const QString& testo, int larghezza)
{
    const QString nudo = testo.trimmed();
    if (nudo.isEmpty() || nudo.size() >= larghezza)
        return testo;
    return QString(larghezza - nudo.size(), u' ') + nudo;
}

QString rigaRegistro(const QVariantList& v, store::TipoRicerca tipo)
{
    using namespace store;
    const QString codice = inColonne(v.at(trCodice).toString(), 10);
    const QString descrizione = inColonne(v.at(trDescrizione).toString(), 30);
    const QString testa = tipo == TipoRicerca::Codice ? codice + u' ' + descrizione : descrizione + u' ' + codice;
    return testa + u' ' + inColonne(testoCampo(v.at(trAutorizzazione)), 12) + u' ' +
           meccanografico(v.at(trMeccanogNum), v.at(trMeccanogCin)) + u' ' +
           allineaDestra(QString::number(intero(v.at(trUltimoCarico))), 6) + u"  "_s +
           inColonne(testoCampo(v.at(trGruppoSCarico)), 10) + u' ' + v.at(trDischetto).toString();
}

QString rigaElenco(const QVariant& codice, const QVariant& descrizione)
{
    return inColonne(codice.toString(), 10) + u" - "_s + descrizione.toString();
}

} // namespace righe
