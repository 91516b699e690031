#pragma once

class QWidget;

namespace app {

// For the start-up benchmark: with PEMTARX_PRIMO_DISEGNO set, prints the wall-clock time of the
// window's first paint and the peak resident memory, then quits.
void misuraPrimoDisegno(QWidget* finestra);

} // namespace app
