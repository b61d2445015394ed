#pragma once

// Resource and control ids of the Win32 windows. The resource scripts include this file too, so
// it holds only #defines. Each window has a range of its own.

#define IDI_RERADAV 1
#define IDI_RERADAV_IDLE 2  // grey: the port is not open

#define IDD_MAINFORM 100
#define IDR_MAINMENU 101
#define IDR_TRAYMENU 102
#define IDC_LABEL4 110
#define IDC_LABEL3 111
#define IDC_COMBO1 112
#define IDC_FRAME2 113
#define IDC_BEEPONINPUT 114
#define IDC_CBOSOUND 115
#define IDC_LOADWITHWINDOWS 116
#define IDC_REMOVECRS 117
#define IDC_TEXT1 118
#define IDC_NUMFILTER 119
#define IDC_IGNOREDUPS 120
#define IDC_LABEL1 121
#define IDC_TERMKEYCOMBO 122
#define IDC_LABEL5 123
#define IDC_LABEL2 124
#define IDC_DISPLAY 125
#define IDC_LABEL6 126
#define IDC_STATUS 127
#define IDM_PASSWORD 150
#define IDM_EXIT 151
#define IDM_SETTINGS 152
#define IDM_HELPINDEX 153
#define IDM_HELPABOUT 154
#define IDM_OPEN 155
#define IDM_ABOUT 156

#define IDD_PORTSETUP 200
#define IDC_BAUDCOMBO 210
#define IDC_PARITYCOMBO 211
#define IDC_DATABITSCOMBO 212
#define IDC_STOPBITSCOMBO 213
#define IDC_FLOWCTRLCOMBO 214
#define IDC_BEEPSTRING 215
#define IDC_HELPBUTTON 216

#define IDD_FORM1 300
#define IDD_FORM2 301
#define IDC_PASSWORD1 310
#define IDC_PASSWORD2 311

#define IDD_ABOUT 400
#define IDC_PICICON 410
#define IDC_LBLTITLE 411
#define IDC_LBLVERSION 412
#define IDC_SEPARATOR 413
#define IDC_LBLDISCLAIMER 414
