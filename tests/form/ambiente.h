#pragma once

#include "app/dialoghi.h"
#include "store/registro.h"
#include "store/archivioregistri.h"

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>
#include <QWidget>
#include <functional>
#include <memory>

class Startup;

// A program folder with its settings file and a company database, fresh for each test.
struct Ambiente {
    QTemporaryDir radice;
    QString programma;  // folder "beside the program"
    QString dati;       // DIRINI
    QString ditta = QStringLiteral("X1");

    Ambiente();
    QString database() const;
    void scriviIni(const QString& testo) const;
    // Creates the company file with both tables, optionally filled with SQL statements.
    void creaDitta(const QStringList& sql = {}) const;
    // Runs statements on the company file through a connection of its own.
    void esegui(const QStringList& sql) const;
    QVariant valore(const QString& sql) const;
};

// The window loaded on a company filled by `sql`, shown, active, with the focus in the code field.
struct Banco {
    Ambiente a;
    app::DialoghiScript d;
    std::unique_ptr<Startup> w;
    bool pronto = false;

    explicit Banco(const QStringList& sql);
    ~Banco();
    // Types a code and Enter; the Enter arrives as a queued Tab.
    void digitaCodice(const QString& codice);
};

// Answers message boxes through a function, so a test can act between two questions.
class DialogsFunzione final : public app::Dialoghi {
public:
    std::function<int(const QString& testo, const QString& titolo)> risposta;
    QStringList testi;
    QStringList titoli;
    int chiedi(const QString& testo, const QString& titolo, app::Pulsanti, app::Icona, int) override
    {
        testi << testo;
        titoli << titolo;
        return risposta ? risposta(testo, titolo) : app::Annulla;
    }
};

// A company file opened through a real store, for the look-ups on their own.
class Archivio final {
public:
    Archivio();

    Ambiente a;
    store::ArchivioRegistri store;
    bool pronto = false;

    // One register written by the store's own two-row transaction.
    bool scrivi(const Registro& r);
    // A statement on the store's connection behind its back, for values the program never writes.
    bool esegui(const QString& sql, const QVariantList& valori = {});
    // `n` registers in one transaction: codes R00001 up, descriptions counting down.
    bool riempi(int n);
};

// A register of `tipo` with the given code and description and the defaults of a new one.
Registro registro(const QString& codice, const QString& descrizione, const QString& tipo = QStringLiteral("C"));

// A plain top-level window that hands each mouse press to `premuto` before Qt moves the focus,
// as the register window does.
class Finestra final : public QWidget {
public:
    std::function<void(QWidget*)> premuto;

    // Shows the window and waits until it is active, so focus changes run their handlers at once.
    bool mostra();
    // A press and a release on the middle of `w`, through the window as a real click arrives.
    void clic(QWidget* w);

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;
};
