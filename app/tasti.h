#pragma once

#include <Qt>

// The key codes and shift mask the window's key handlers work with, translated from Qt in one place.
namespace app::tasti {

inline constexpr int Invio = 13;
inline constexpr int Su = 38;
inline constexpr int Giu = 40;
inline constexpr int F2 = 113;
inline constexpr int F4 = 115;
inline constexpr int S = 83;
inline constexpr int Tab = 9;

inline constexpr int Shift = 1;
inline constexpr int Ctrl = 2;
inline constexpr int Alt = 4;

// Key code of a Qt key; 0 for keys the window has no code for.
int codice(int tastoQt);
// Shift mask of Qt's modifiers.
int maschera(Qt::KeyboardModifiers modificatori);

} // namespace app::tasti
