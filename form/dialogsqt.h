#pragma once

#include "app/dialogs.h"

class QWidget;

// Message boxes with Italian buttons, whatever the system's language.
class DialogsQt final : public app::Dialogs {
public:
    explicit DialogsQt(QWidget* genitore = nullptr) : genitore_(genitore) {}
    void impostaGenitore(QWidget* genitore) { genitore_ = genitore; }
    int ask(const QString& testo, const QString& titolo, app::Pulsanti pulsanti, app::Icona icona,
            int predefinito = 0) override;

private:
    QWidget* genitore_;
};
