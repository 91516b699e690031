#include "presenza.h"

bool Presenza::cambioFinestra(Qt::FocusReason motivo)
{
    return motivo == Qt::ActiveWindowFocusReason || motivo == Qt::PopupFocusReason;
}

bool Presenza::entra(Qt::FocusReason motivo)
{
    // A real entry while we think the clerk is already here means a silent focus loss was missed.
    if (dentro_ && cambioFinestra(motivo))
        return false;
    dentro_ = true;
    return true;
}

bool Presenza::esce(Qt::FocusReason motivo)
{
    if (!dentro_ || cambioFinestra(motivo))
        return false;
    dentro_ = false;
    return true;
}
