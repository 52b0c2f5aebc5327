// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers of the program file's resources and of the controls in its
// dialogs, shared by relmuth.rc and the code. Plain defines: the resource
// compiler reads this file too.
#pragma once

// The main window's icon (as the document type's resources are numbered), and the tool bar's bitmap
// strip (one 16 x 16 picture per button, in the tool bar's order).
#define IDI_MAINFRAME 128
#define IDB_TOOLBAR 129

// Dialog templates; their titles are the strings of the same number.
#define DLG_ABOUTBOX 100
#define DLG_SEND_PROGRESS 131
#define DLG_RECV_PROGRESS 132
#define DLG_COMM_SETTINGS 133
#define DLG_DECODE_PROGRESS 134
#define DLG_WAVEFORM 135 // titled by its byte (IDS_WAVEFORM_TITLE)

// Controls.
#define IDC_PROGRESS 1000   // the bar of each progress dialog
#define IDC_PORT_LIST 1001  // settings: the ports
#define IDC_BAUD_LIST 1002  // settings: the speeds
#define IDC_PORT_LABEL 1003 // settings: "ポート(&P):"
#define IDC_BAUD_LABEL 1004 // settings: "ボーレート(&B):"
#define IDC_PROGRESS_TEXT 1005
#define IDC_ABOUT_ICON 1006
#define IDC_ABOUT_VERSION 1002 // the About box's version line (its own dialog)
#define IDC_ABOUT_NOTICE 1008
#define IDC_NO_PORT 1009           // settings at start-up: "ポートなしで続ける"
#define IDC_WAVEFORM_VIEW 1010     // the waveform: the signal and the cells
#define IDC_WAVEFORM_STATE 1011    // the waveform: what is known of the byte
#define IDC_WAVEFORM_READINGS 1012 // the waveform: the readings
#define IDC_WAVEFORM_PICK 1013
#define IDC_WAVEFORM_PREVIOUS 1014
#define IDC_WAVEFORM_NEXT 1015
