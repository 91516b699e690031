#include "store/campi.h"

#include "store/registro.h"

#include <QSqlRecord>
#include <QVariant>

#include <algorithm>
#include <cmath>

QString unCarattere(const QString& testo)
{
    return testo.isEmpty() ? QStringLiteral(" ") : testo.left(1);
}

namespace store {

QString testoCampo(const QVariant& valore, const QString& predefinito)
{
    const QString ripiego = predefinito.trimmed().isEmpty() ? QStringLiteral(" ") : predefinito;
    if (valore.isNull())
        return ripiego;
    const QString testo = valore.toString();
    if (testo.trimmed().isEmpty() || testo.front() == QChar(0))
        return ripiego;
    return testo;
}

QString numeroCampo(const QVariant& valore)
{
    if (valore.isNull())
        return QStringLiteral("0");
    const QString testo = valore.toString().trimmed();
    bool intero = false;
    testo.toLongLong(&intero);
    if (intero)
        return testo;
    bool numero = false;
    const double d = testo.toDouble(&numero);
    if (!numero || !std::isfinite(d))
        return QStringLiteral("0");
    return QString::number(d, 'g', 17);
}

namespace {

// A text column as the window shows it: Null reads as the blank of a cleared field.
QString testo(const QSqlRecord& r, const char* nome)
{
    const QVariant v = r.value(QLatin1StringView(nome));
    return v.isNull() ? QStringLiteral(" ") : v.toString();
}

QString gruppo(const QSqlRecord& r, const char* nome)
{
    const QString g = testo(r, nome);
    return g.trimmed() == QLatin1StringView(".") ? QStringLiteral(" ") : g;
}

// A first character from a coded column, with its default for Null.
QString codice(const QSqlRecord& r, const char* nome, const QString& seNullo)
{
    const QVariant v = r.value(QLatin1StringView(nome));
    return unCarattere(v.isNull() ? seNullo : v.toString());
}

} // namespace

Registro leggiRegistro(const QSqlRecord& r)
{
    Registro g;
    g.SspCodice = r.value(QStringLiteral("SspCodice")).toString();
    g.SspDescrizione = testo(r, "SspDescrizione");
    g.SspCarScar = unCarattere(testoCampo(r.value(QStringLiteral("SspCarScar")), QStringLiteral("C")));
    g.SspUltimoCarico = static_cast<qint32>(std::clamp(numeroCampo(r.value(QStringLiteral("SspUltimoCarico"))).toDouble(),
                                                       -2147483648.0, 2147483647.0));
    g.SspGruppoCarico = gruppo(r, "SspGruppoCarico");
    g.SspGruppoSCarico = gruppo(r, "SspGruppoSCarico");
    g.SspStampaperSerie = r.value(QStringLiteral("SspStampaperSerie")).toBool();
    g.SspCodiceDischetto = testo(r, "SspCodiceDischetto");
    g.SspMeccanogCin = testo(r, "SspMeccanogCin");
    const QVariant meccanografico = r.value(QStringLiteral("SspMeccanogNum"));
    const double numero = numeroCampo(meccanografico).toDouble();
    g.SspMeccanogNum = static_cast<qint16>(std::clamp(numero, -32768.0, 32767.0));
    if (numero != g.SspMeccanogNum)
        g.meccanogNumIntatto = meccanografico;
    g.SspCodAutorizzazione = testoCampo(r.value(QStringLiteral("SspCodAutorizzazione")));
    g.SspRiqA = testoCampo(r.value(QStringLiteral("SspRiqA")));
    g.SspNTelefonoDaChiamare = testo(r, "SspNTelefonoDaChiamare");
    g.SspTipoProtocollo = codice(r, "SspTipoProtocollo", QStringLiteral("G"));
    g.SspACT = codice(r, "SspACT", QStringLiteral("A"));
    return g;
}

TestataRegistro leggiTestata(const QSqlRecord& r)
{
    TestataRegistro t;
    t.TpsCodice = r.value(QStringLiteral("TpsCodice")).toString();
    for (int i = 0; i < 5; ++i) {
        t.TpsRiga[i] = r.value(QStringLiteral("TpsRiga%1").arg(i + 1)).toString();
        t.TpsRigP[i] = r.value(QStringLiteral("TpsRigP%1").arg(i + 1)).toString();
    }
    return t;
}

} // namespace store
