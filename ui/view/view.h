// The page windows' view: the six custom window classes that module entry registers at load,
// and the factory that makes page windows from the module's dialog templates.
//
// On Windows these are real windows (the *_win32.cpp files: window procedures drawing with GDI,
// dialogs from the module's resources); elsewhere the classes are registered with a procedure
// that does nothing and no factory is installed, since no windowing system exists there (the
// tests install their own fake page windows).
#pragma once

#include <cstddef>

#include "platform/types.h"
#include "platform/window.h"

// Registers window class `index` (0 fader, 1 trackbar, 2 spinner, 3 static picture, 4 envelope,
// 5 logo) under `className` for `instance`. False when the class cannot be registered.
bool NxInitControlClass(size_t index, HINSTANCE instance, LPCWSTR className);
void NxTermControlClass(size_t index, HINSTANCE instance, LPCWSTR className);

// Installs (and removes) the dialog factory that makes page windows from the module's
// templates.
void NxInstallView(HINSTANCE instance);
void NxRemoveView();
