#pragma once

#include "app/presenza.h"

#include <QListView>

// A list of text rows that reports entering, leaving and double clicks after its own handling;
// a double click counts anywhere in the list, on a row or not.
class Elenco final : public QListView {
    Q_OBJECT
public:
    explicit Elenco(QWidget* genitore = nullptr);

Q_SIGNALS:
    void entrata();
    void uscita();
    void doppioClic();

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    Presenza presenza_;
};
