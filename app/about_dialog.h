// The About dialog (template IDD_ABOUT): name, version, a one-line
// description and a link that opens the product's web page. Modal, owned by
// the main window.
#ifndef MORLANT_APP_ABOUT_DIALOG_H
#define MORLANT_APP_ABOUT_DIALOG_H

#include <windows.h>

// Dialog procedure for DialogBoxParamW (parameter 0). Each opening creates
// an underlined copy of the link's font, owned by the dialog and deleted
// when the dialog is destroyed. Results: OK and Enter end it with IDOK,
// Escape and the close box with IDCANCEL.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Opens the web page of a clicked link. The default is ShellExecuteW
// "open" (result ignored); tests replace it.
extern void (*open_web_page)(const wchar_t* address);

#endif  // MORLANT_APP_ABOUT_DIALOG_H
