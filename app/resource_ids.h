/* Identifiers shared by the program and its resource script. Plain macros:
   the resource compiler reads this file too. */
#ifndef MORLANT_APP_RESOURCE_IDS_H
#define MORLANT_APP_RESOURCE_IDS_H

#define IDI_APP 102
#define IDD_ABOUT 104
#define IDR_MENU_PNG 105
#define IDC_START 1002
#define IDC_RESULT_CARD 1004
#define IDC_SYSINFO_CARD 1007
#define IDC_MENU_ICON 1008
#define IDC_ABOUT_LINK 1009
#define IDC_ABOUT_VERSION 1010
#define IDM_ABOUT 40001
#define IDM_COPY 40002
/* Entries of the window's system menu (multiples of 16 below 0xF000). */
#define IDM_SYSTEM_COPY 0x0110
#define IDM_SYSTEM_ABOUT 0x0120

#define MORLANT_VERSION_TEXT "1.0.0"
#define MORLANT_WEB_ADDRESS "https://morlant.example.org/"

#endif
