#pragma once

#include "app/dialoghi.h"

class QWidget;

// Message boxes with Italian buttons, whatever the system's language.
class DialoghiQt final : public app::Dialoghi {
public:
    explicit DialoghiQt(QWidget* genitore = nullptr) : genitore_(genitore) {}
    void impostaGenitore(QWidget* genitore) { genitore_ = genitore; }
    int chiedi(const QString& testo, const QString& titolo, app::Pulsanti pulsanti, app::Icona icona,
               int predefinito = 0) override;

private:
    QWidget* genitore_;
};
