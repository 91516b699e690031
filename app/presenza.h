#pragma once

#include <Qt>

// Whether a focus event is the clerk entering or leaving a control: switching windows or opening
// a popup is neither, so the control's handlers do not run for them.
class Presenza final {
public:
    // True when the control's got-focus handler must run.
    bool entra(Qt::FocusReason motivo);
    // True when the control's lost-focus handler must run.
    bool esce(Qt::FocusReason motivo);

    static bool cambioFinestra(Qt::FocusReason motivo);

private:
    bool dentro_ = false;  // the clerk is in the control, whatever window is active meanwhile
};
