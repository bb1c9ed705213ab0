// Window helpers of the main module's dialogs and messages: placing a dialog, the chosen
// entry of a combo box, the module's version text for captions, the open-file dialog.
#pragma once
#include <string>
#include "windows.h"

// Centres the window on its parent window (its owner, for a dialog), or on the screen
// when it has none. Size and z-order are kept.
void centerOnParent(HWND window);
// Centres the window on the primary screen.
void centerOnScreen(HWND window);

// The item data of the selected entry of the dialog's combo box; -1 when the control is
// missing or disabled, nothing is selected, or the data is -1.
LRESULT getComboSelectionData(HWND dialog, int controlId);

// The product version of the module's file as "1.2.5": the four numbers that are not
// zero, joined by "."; empty when the module, its file or its version record is missing.
// A null module means the main module ("Zephyr_R20_x32.arx").
std::string getModuleVersionText(HMODULE module = nullptr);
// "Zephyr", a blank and the main module's version text: the caption of the system's
// dialogs and message boxes.
std::string productTitle();

// Shows the open-file dialog. filter is written with "|" between the parts
// ("XML (*.xml)|*.xml||"); fileBuffer holds MAX_PATH characters, the current name on entry
// and the chosen path on return. Non-zero when the user chose a file.
BOOL showOpenFileDialog(HWND owner, const char* filter, const char* initialFolder, char* fileBuffer,
                        const char* defaultExtension, const char* title);
