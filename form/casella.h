#pragma once

#include <QLineEdit>

// A text box that reports focus and double clicks after it has handled them itself,
// so a selection made on entry is not undone by the box's own focus handling.
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

private:
    bool entrato_ = false;  // the clerk is in this box, whatever window is active meanwhile
};

// Focus moves that come from switching windows or opening a popup are not the clerk leaving a field.
bool cambioFinestra(Qt::FocusReason motivo);
