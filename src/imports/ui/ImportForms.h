#pragma once

// Registers the import window with Forms, and its two openings from the main window's menu
// ("frmDaoru/students", "frmDaoru/scores"), which ask for the file first.
void registerImportForms();
