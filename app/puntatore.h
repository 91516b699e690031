#pragma once

// The mouse pointer while a sibling program is being reached or the store may be waiting.
namespace app {

// Set once an hourglass has been asked for; stays set for the rest of the run.
extern bool clessidraRichiesta;

void mostraClessidra();
void ripristinaPuntatore();
// The hourglass from `inizio` true to the matching false, while the store may wait for a lock.
void attesaArchivio(bool inizio);

} // namespace app
