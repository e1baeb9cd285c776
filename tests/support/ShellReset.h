#pragma once

#include "foundation/SingletonT.h"
#include "shell/KZRouter.h"
#include "shell/KZWindowsManager.h"

namespace nubo::test {

// Ends the shell's process-wide objects: the windows manager, then the router with every page
// and window it kept and every registration. A widget test ends them in its tear-down, so that
// neither a later test nor the end of the process meets what this one made (a stand-in it
// registered, a window it left open).
inline void resetShell() {
    SingletonT<KZWindowsManager>::reset(); // it reaches the router's kept objects
    SingletonT<KZRouter>::reset();
}

} // namespace nubo::test
