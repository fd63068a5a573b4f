// Where a new dialog of the module opens: beside the host's main window, on
// the side with more room, each further dialog a step down from the one
// before it, always whole on the screen.
#pragma once
#include <windows.h>

#include <vector>

// The top left corner for a dialog of `size` beside the window at `host`,
// within `screen`; `taken` are the corners of the module's dialogs already
// open, which a new one steps past by `step` pixels down and outwards.
POINT PlaceBeside(const RECT& host, SIZE size, const RECT& screen, int step, const std::vector<POINT>& taken);

// Moves `dialog`, a new dialog made from `module`'s templates, beside the host
// program's main window. Without such a window it stays where it opened.
void PlaceBesideHostWindow(HWND dialog, HINSTANCE module);
