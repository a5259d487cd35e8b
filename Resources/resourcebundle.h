// The pictures compiled into the program (":/icons/Resources/..." and ":/images/Resources/logo.png").
#pragma once

// Registers the bundle; safe to call more than once.
void loadResourceBundle();
