#pragma once

// Wires every window into nav(). Called once by Main.
void InstallNavigation();
