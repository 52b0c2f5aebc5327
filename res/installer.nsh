; SPDX-License-Identifier: GPL-3.0-or-later
; The names the Windows installer shows and writes: the program, its maker
; (as in the settings key) and the file type of its tapes (as in the
; document string IDR_MAINFRAME).
!define RELMUTH_NAME "Relmuth"
!define RELMUTH_MAKER "Orlavik"
!define RELMUTH_PROGID "Relmuth.Document"
!define RELMUTH_TYPE_NAME "Relm Document"
