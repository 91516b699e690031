#pragma once

#include "app/dialogs.h"

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>
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
    app::DialogsScript d;
    std::unique_ptr<Startup> w;
    bool pronto = false;

    explicit Banco(const QStringList& sql);
    ~Banco();
    // Types a code and Enter; the Enter arrives as a queued Tab.
    void digitaCodice(const QString& codice);
};

// Answers message boxes through a function, so a test can act between two questions.
class DialogsFunzione final : public app::Dialogs {
public:
    std::function<int(const QString& testo, const QString& titolo)> risposta;
    QStringList testi;
    QStringList titoli;
    int ask(const QString& testo, const QString& titolo, app::Pulsanti, app::Icona, int) override
    {
        testi << testo;
        titoli << titolo;
        return risposta ? risposta(testo, titolo) : app::Annulla;
    }
};
