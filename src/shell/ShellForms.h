#pragma once

// Registers the windows of start-up, sign-in and the main window with Forms.
void registerShellForms();
