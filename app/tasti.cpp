#include "tasti.h"

namespace app::tasti {

int codice(int tastoQt)
{
    switch (tastoQt) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return Invio;
    case Qt::Key_Up: return Su;
    case Qt::Key_Down: return Giu;
    case Qt::Key_F2: return F2;
    case Qt::Key_F4: return F4;
    case Qt::Key_Tab: return Tab;
    default: break;
    }
    // Letters and digits keep their upper-case character code, as the window's handlers expect.
    if ((tastoQt >= Qt::Key_A && tastoQt <= Qt::Key_Z) || (tastoQt >= Qt::Key_0 && tastoQt <= Qt::Key_9))
        return tastoQt;
    return 0;
}

int maschera(Qt::KeyboardModifiers modificatori)
{
    int m = 0;
    if (modificatori & Qt::ShiftModifier)
        m |= Shift;
    if (modificatori & Qt::ControlModifier)
        m |= Ctrl;
    if (modificatori & Qt::AltModifier)
        m |= Alt;
    return m;
}

} // namespace app::tasti
