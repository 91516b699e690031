#pragma once

class QWidget;

namespace app {

// For the start-up benchmark: with PEMTARX_PRIMO_DISEGNO set, prints the wall-clock time of the
// window's first paint, the peak resident memory and the window's size, then quits.
void misuraPrimoDisegno(QWidget* finestra);

} // namespace app
