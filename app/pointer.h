#pragma once

// The mouse pointer while a sibling program is being reached.
namespace app {

// Set once an hourglass has been asked for; stays set for the rest of the run.
extern bool clessidraRichiesta;

void mostraClessidra();
void ripristinaPuntatore();

} // namespace app
