#pragma once

#include "app/presenza.h"

#include <QLineEdit>

// A text box that reports the clerk entering and leaving it, and double clicks, after its own
// handling, so a selection made on entry is not undone by the box's own focus handling.
class Casella final : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

Q_SIGNALS:
    void entrata();
    void uscita();
    void doppioClic();

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    Presenza presenza_;
    bool entrataColMouse_ = false;  // the press that gave the focus is still to come
};
