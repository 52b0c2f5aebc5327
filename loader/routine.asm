; SPDX-License-Identifier: GPL-3.0-or-later
; ===========================================================================
; Grebe's machine-code routine for the NEC PC-8801 under N88-BASIC.
;
; Grebe places these bytes at &HB000 from its DATA lines and calls
; the five entries of the jump table as USR1 to USR5. The routine reads one
; cassette block into a 64 KB buffer, prints it as dump lines, sends it as
; transfer lines over the RS-232C line and sounds the beeper.
;
; Assembled with pasmo in autolocal mode: a label that begins with "_" is
; local to the global label above it (pasmo has no dotted local labels).
;
; Calling convention of every entry (N88-BASIC's USR): A holds the type code
; of the argument (2 = integer), HL the address of its 16-bit value, low
; byte first. The value left there is the result. An entry returns at once,
; changing nothing, for any other type code. N88-BASIC keeps no register
; across a USR call, so the entries preserve none.
;
; Layout: jump table, RESCODE, code, variables (all zero), texts. The own
; stack grows down from STACKTOP towards the texts.
; ===========================================================================

; ---- N88-BASIC ROM entry points (only what the ROM promises) -----
CMTMOTOR    equ 7F35h   ; A = 1: cassette motor on, A = 0: off. Keeps nothing.
CMTSTART    equ 7ED0h   ; starts cassette input at the speed in SPEEDCELL. Keeps nothing.
CMTSTOP     equ 7F15h   ; ends cassette input. Keeps nothing.
POLLIN      equ 45F8h   ; A = 1: cassette, A = 0: keyboard. NZ and A = the byte when
                        ; one was waiting, Z when none. Keeps nothing else.
PUTCHR      equ 3E0Dh   ; prints A on the screen. Keeps HL.
RSPUT       equ 3226h   ; sends A over the RS-232C line Grebe opened. Keeps BC, DE.
CPHLDE      equ 20h     ; restart: carry when HL < DE. Keeps nothing else.

; ---- N88-BASIC work-area cells ---------------------------------------------
VRTCVEC     equ 0F302h  ; vertical-retrace interrupt vector (IM 2 table entry)
PORT40CELL  equ 0E6C1h  ; last value written to port &H40
PORT31CELL  equ 0E6C2h  ; last value written to port &H31 (read only)
RXERRCELL   equ 0E6BFh  ; not 0 after a cassette receive error
CMTFLAGCELL equ 0EF7Fh  ; bit 5 set for the duration of a read
SPEEDCELL   equ 0F009h  ; speed byte that CMTSTART reads

; ---- I/O ports ----------------------------------------------------------------
P_MAP       equ 31h     ; bit 1 set: main RAM readable at &H0000-&H7FFF instead of the ROM
P_BEEP      equ 40h     ; bit 5 set: the beeper sounds
P_PLANE     equ 5Bh     ; + 1, 2, 3: graphic plane 0, 1, 2 at &HC000-&HFFFF
P_MAINRAM   equ 5Fh     ; main RAM at &HC000-&HFFFF again

; ---- constants ------------------------------------------------------------------
MAPRAM      equ 02h     ; bit 1 of port &H31
BEEPBIT     equ 20h     ; bit 5 of port &H40
CMTBIT      equ 20h     ; bit 5 of CMTFLAGCELL
SPEED1200   equ 0FBh    ; speed byte for modes 1 and 3
SPEED600    equ 0FAh    ; speed byte for modes 2 and 4 (SPEED1200 - 1)
LIMIT60     equ 60      ; ticks: every byte inside a block; the gap that ends a raw capture
LIMIT300    equ 300     ; ticks: the byte after a BASIC or "$$$" header's name
HDRBASIC    equ 0D3h    ; 10 of them open a BASIC program
HDRNAMED    equ '$'     ; 3 of them open a named machine-code file
HDRMCODE    equ ':'     ; opens a machine-code file and each of its records
HDRDATA     equ 9Ch     ; 6 of them open a data file
NAMELEN     equ 6       ; name bytes after a BASIC or "$$$" header run
ZEROSEND    equ 10      ; &H00 bytes in a row that end a BASIC program
DATAEND     equ 0Ah     ; ends a data block (stored)
KEYESC      equ 1Bh     ; keys that abort a read
KEYCTRLC    equ 03h
BEEPONE     equ 7       ; BEEPCNT for one short beep
LINEBYTES   equ 16      ; bytes per dump line and per transfer line
STACKTOP    equ 0BFFFh  ; top of the own stack (SP is loaded with it, not &HC000)

; ---- result codes (RESCODE) --------------------------------------------------------
RC_DONE     equ 0
RC_TIMEOUT  equ 1
RC_ABORT    equ 2
RC_ERROR    equ 3

        org 0B000h

; ---- jump table: fixed by Grebe's DEF USR lines ----------------------------
        jp TAPEREAD     ; &HB000 USR1
        jp PEEKBUF      ; &HB003 USR2
        jp DUMPLINE     ; &HB006 USR3
        jp SENDLINE     ; &HB009 USR4
        jp BEEPS        ; &HB00C USR5
RESCODE:
        db 0            ; &HB00F: result of the last read, PEEK(&HB000+3*5) in Grebe

CODE:

;; TAPEREAD [USR1]
;;   Reads one block from the cassette into the buffer from offset 0.
;; Inputs:
;;   A: argument type; HL: address of the speed mode. When its high byte is 0
;;   the low byte becomes MODE: 1 and 3 read at 1200 baud, anything else at
;;   600; 1 and 2 recognise a block by its header, anything else captures raw.
;;   A high byte other than 0 keeps the last MODE and reads at 1200 baud.
;; Outputs:
;;   (HL): the number of bytes stored; DATALEN the same; RESCODE 0 complete,
;;   1 time-out, 2 ESC or CTRL+C, 3 receive error, bad record or buffer full.
;; Notes:
;;   Runs on the own stack with the tick hook installed; every path ends in
;;   FINISH, which puts SP back, so the block code may leave return
;;   addresses behind when it gives up.
TAPEREAD:
        cp 2
        ret nz
        call OWNSTACK
        ld (ARGPTR),hl
        ld c,SPEED1200
        ld e,(hl)
        inc hl
        ld a,(hl)
        or a
        jr nz,_speed            ; high byte set: MODE stays, 1200 baud
        ld a,e
        ld (MODE),a
        and 0FDh
        dec a                   ; zero only for modes 1 and 3
        jr z,_speed
        dec c                   ; SPEED600
_speed:
        push bc
        call HOOKON
        ld a,1
        call CMTMOTOR
        ld a,(CMTFLAGCELL)
        ld l,a
        or CMTBIT
        ld (CMTFLAGCELL),a
        ld a,(SPEEDCELL)
        ld h,a
        ld (OLDFLAGS),hl        ; OLDFLAGS = L, OLDSPEED = H: adjacent bytes
        pop bc
        ld a,c
        ld (SPEEDCELL),a
        call CMTSTART
        ld hl,0
        ld (BUFPOS),hl
        ld a,(MODE)
        dec a
        cp 2                    ; carry for modes 1 and 2
        jp nc,RAWREAD
        ; fall into HUNT

;; HUNT, DISPATCH
;;   Block recognition (modes 1 and 2). HUNT waits without a limit for a
;;   header byte; DISPATCH takes a byte in A, sets BUFPOS back to 0 (the
;;   restart rule) and starts the block that the byte opens, or hunts on.
HUNT:
        ld bc,0
        call GETBYTE
        jp c,FINISH
DISPATCH:
        ld hl,0
        ld (BUFPOS),hl
        cp HDRBASIC
        jr z,BASICBLK
        cp HDRNAMED
        jr z,NAMEDBLK
        cp HDRMCODE
        jr z,MCODEBLK
        cp HDRDATA
        jr nz,HUNT
        ; fall into DATABLK

;; DATABLK: 6 x &H9C, then every byte up to and including the first &H0A.
DATABLK:
        ld b,6
        call HEADRUN
        ld hl,TXTDATA
        call PRFOUND
_byte:
        call TAKE
        call PUTBUF
        cp DATAEND
        jr nz,_byte
        jr COMPLETE

;; BASICBLK: 10 x &HD3, 6 name bytes, then the program up to and including
;; the tenth &H00 in a row. The first body byte may take 300 ticks.
BASICBLK:
        ld b,10
        call HEADRUN
        ld hl,TXTBASIC
        call PRFOUND
        call TAKENAME           ; A = the first body byte
        ld c,0                  ; C = &H00 bytes in a row, this one included
_byte:
        call PUTBUF
        inc c
        or a
        jr z,_zero
        ld c,0
_zero:
        ld a,c
        cp ZEROSEND
        jr z,COMPLETE
        call TAKE
        jr _byte

;; NAMEDBLK: 3 x "$", 6 name bytes, then within 300 ticks the ":" of a
;; machine-code file; any other byte gives the header up and is dispatched.
NAMEDBLK:
        ld b,3
        call HEADRUN
        call TAKENAME
        cp HDRMCODE
        jr nz,DISPATCH
        ; fall into MCODEBLK, which stores the ":" after the name

;; MCODEBLK: ":", 3 bytes (address and check byte), then records of
;; ":", length, that many bytes and a check byte (stored, not tested), up to
;; the record of length 0. A record that does not begin with ":" is a read
;; error, and that byte is not stored.
MCODEBLK:
        call PUTBUF
        ld hl,TXTMCODE
        call PRFOUND
        ld b,3
        call TAKEN
_record:
        call TAKE
        cp HDRMCODE
        jr nz,BADREAD
        call PUTBUF
        call TAKE
        call PUTBUF
        ld c,a                  ; C = the record's length
        ld b,a
        inc b                   ; its bytes and the check byte (255 + 1 wraps to 0 = 256)
        call TAKEN
        ld a,c
        or a
        jr nz,_record
COMPLETE:
        xor a                   ; RC_DONE
        jr FINISH
BADREAD:
        ld a,RC_ERROR
        jr FINISH

;; RAWREAD: modes 3 and 4. Drops &H00 and &HFF until another byte comes,
;; then stores every byte until a gap of more than 60 ticks (code 0).
RAWREAD:
        ld bc,0
        call GETBYTE
        jr c,FINISH
        or a
        jr z,RAWREAD            ; &H00 before the data
        inc a
        jr z,RAWREAD            ; &HFF before the data
        dec a
        call PUTBUF
        ld hl,TXTUNKNOWN
        call PRFOUND
_byte:
        call NEXTBYTE
        jr c,_end
        call PUTBUF
        jr _byte
_end:
        dec a
        jr z,COMPLETE           ; RC_TIMEOUT: the gap after the data
        inc a
        jr FINISH

;; HEADRUN
;;   Stores a header run byte by byte.
;; Inputs:
;;   A: the header byte just taken; B: the length of the run.
;; Outputs:
;;   Returns when B equal bytes are stored. When another byte breaks the run
;;   it drops its own return address and goes to DISPATCH with that byte.
;; Destroys: A, BC, DE, HL.
HEADRUN:
        ld c,a
_next:
        call PUTBUF
        dec b
        ret z
        call TAKE
        cp c
        jr z,_next
        pop hl                  ; the caller's block is given up
        jp DISPATCH

;; TAKENAME
;;   Takes and stores the 6 name bytes, then takes the next byte with the
;;   300-tick limit.
;; Outputs: A = that byte, not stored. Destroys: BC, DE, HL.
TAKENAME:
        ld b,NAMELEN
        call TAKEN
        push bc
        ld bc,LIMIT300
        call GETBYTE
        pop bc
        jr CHECK

;; TAKEN
;;   Takes and stores B bytes (B = 0: 256) with the 60-tick limit.
;; Outputs: A = the last byte; B = 0. Preserves: C. Destroys: DE, HL.
TAKEN:
        call TAKE
        call PUTBUF
        djnz TAKEN
        ret

;; NEXTBYTE
;;   GETBYTE with the 60-tick limit.
;; Outputs: as GETBYTE. Preserves: BC. Destroys: DE, HL.
NEXTBYTE:
        push bc
        ld bc,LIMIT60
        call GETBYTE
        pop bc
        ret

;; TAKE
;;   NEXTBYTE that ends the read when no byte comes.
;; Outputs: A = the byte. Preserves: BC. Destroys: DE, HL.
;; Notes: on a failure it goes to FINISH with the code, leaving its return
;;   address on the stack, which FINISH discards.
TAKE:
        call NEXTBYTE
CHECK:
        ret nc
        ; fall into FINISH

;; FINISH
;;   Ends a read with the result code in A: cassette off, hook off, the
;;   count as DATALEN and as USR1's result, the work-area bytes back, and
;;   back to BASIC on its own stack.
FINISH:
        ld (RESCODE),a
        call CMTSTOP
        xor a
        call CMTMOTOR
        call HOOKOFF
        ld hl,(BUFPOS)
        ld (DATALEN),hl
        ex de,hl
        ld hl,(ARGPTR)
        ld (hl),e
        inc hl
        ld (hl),d
        ld hl,(OLDFLAGS)        ; L = OLDFLAGS, H = OLDSPEED
        ld a,l
        ld (CMTFLAGCELL),a
        ld a,h
        ld (SPEEDCELL),a
        ; fall into LEAVE

;; LEAVE
;;   Leaves the own-stack frame: BASIC's stack back, return to BASIC.
LEAVE:
        di
        ld sp,(OLDSP)
        ei
        ret

;; OWNSTACK
;;   Moves the caller onto the own stack; called first by TAPEREAD, DUMPLINE
;;   and SENDLINE. OLDSP keeps BASIC's stack pointer, which points at the
;;   return into BASIC, so LEAVE can return there from any depth.
;; Preserves: A, BC, HL. Destroys: DE.
OWNSTACK:
        pop de                  ; the return into the entry
        di
        ld (OLDSP),sp
        ld sp,STACKTOP
        ei
        push de
        ret

;; GETBYTE
;;   Waits for one cassette byte.
;; Inputs:
;;   BC: the limit in ticks, 0 for none.
;; Outputs:
;;   Carry clear: A = the byte. Carry set: A = 1 (more than BC ticks without a
;;   byte), 2 (ESC or CTRL+C) or 3 (receive error; the flag is cleared and
;;   the byte dropped).
;; Destroys: everything (POLLIN keeps nothing).
;; Notes:
;;   A waiting byte wins over a key and over the time-out. TICKS is cleared
;;   with interrupts off so the hook cannot count between its two stores,
;;   and read with one 16-bit load.
GETBYTE:
        ld hl,0
        di
        ld (TICKS),hl
        ei
        ld (LIMIT),bc
_poll:
        ld a,1
        call POLLIN
        jr z,_keys
        ld c,a
        ld hl,RXERRCELL
        ld a,(hl)
        or a                    ; clears carry
        ld a,c
        ret z
        ld (hl),0
        ld a,RC_ERROR
        scf
        ret
_keys:
        xor a
        call POLLIN
        jr z,_limit
        cp KEYESC
        jr z,_abort
        cp KEYCTRLC
        jr nz,_limit            ; any other key is dropped
_abort:
        ld a,RC_ABORT
        scf
        ret
_limit:
        ld hl,(LIMIT)
        ld a,h
        or l                    ; clears carry
        jr z,_poll
        ld de,(TICKS)
        sbc hl,de               ; carry when LIMIT < TICKS
        jr nc,_poll
        ld a,RC_TIMEOUT
        ret

;; PUTBUF
;;   Stores A at buffer offset BUFPOS and advances BUFPOS.
;; Preserves: A, BC. Destroys: DE, HL, F.
;; Notes:
;;   Offsets &H0000-&H3FFF are written straight to main RAM at &H4000-&H7FFF
;;   (writes reach the RAM beneath the ROM); the planes are switched with
;;   interrupts off. The buffer holds at most 65,535 bytes, the largest
;;   count Grebe and the transfer can express: a 65,536th byte ends the read
;;   with code 3 instead of coming back to offset 0.
PUTBUF:
        push bc
        ld c,a
        ld hl,(BUFPOS)
        inc hl
        ld a,h
        or l
        jp z,BADREAD            ; BUFPOS is &HFFFF: the buffer is full
        call BUFADDR
        ld a,c
        jr nz,_plane
        ld (hl),a
        pop bc
        ret
_plane:
        ld c,b
        di
        out (c),a               ; map the plane (the value is not used)
        ld (hl),a
        out (P_MAINRAM),a
        ei
        pop bc
        ret

;; GETBUF
;;   Fetches the byte at buffer offset BUFPOS and advances BUFPOS.
;; Outputs: A = the byte. Preserves: BC, DE, HL. Destroys: F.
;; Notes:
;;   Interrupts are off from the first port write to the last: port &H31
;;   bit 1 for offsets below &H4000 (from PORT31CELL, and back to it),
;;   a plane port and &H5F for the others.
GETBUF:
        push bc
        push hl
        call BUFADDR
        di
        jr z,_main
        ld c,b
        out (c),a
        ld b,(hl)
        out (P_MAINRAM),a
        jr _done
_main:
        ld a,(PORT31CELL)
        ld c,a
        or MAPRAM
        out (P_MAP),a
        ld b,(hl)
        ld a,c
        out (P_MAP),a
_done:
        ei
        ld a,b
        pop hl
        pop bc
        ret

;; BUFADDR
;;   Maps BUFPOS to its bank and address, and advances BUFPOS.
;; Outputs:
;;   Z: offset below &H4000, HL = &H4000 + offset.
;;   NZ: HL = &HC000 + (offset AND &H3FFF), B = the plane's port.
;; Preserves: C, DE. Destroys: A.
BUFADDR:
        ld hl,(BUFPOS)
        push hl
        inc hl
        ld (BUFPOS),hl
        pop hl
        ld a,h
        rlca
        rlca
        and 3                   ; the bank, 0 to 3
        jr z,_main
        add a,P_PLANE
        ld b,a
        ld a,h
        or 0C0h                 ; also gives NZ
        ld h,a
        ret
_main:
        set 6,h                 ; keeps Z
        ret

;; BUFMORE
;;   Carry set when BUFPOS is below DATALEN.
;; Destroys: everything (the restart promises nothing more).
BUFMORE:
        ld hl,(BUFPOS)
        ld de,(DATALEN)
        rst CPHLDE
        ret

;; PEEKBUF [USR2]
;;   The byte at a buffer offset; DATALEN is not consulted.
;; Inputs: A: argument type; HL: address of the offset.
;; Outputs: (HL) = the byte, high byte 0. Runs on BASIC's stack.
PEEKBUF:
        cp 2
        ret nz
        ld (ARGPTR),hl
        ld e,(hl)
        inc hl
        ld d,(hl)
        ld (BUFPOS),de
        call GETBUF             ; keeps HL, the high byte of the result
        ld (hl),0
        dec hl
        ld (hl),a
        ret

;; DUMPLINE [USR3]
;;   Prints the dump line of the 16 bytes from a buffer offset, as far as
;;   they lie below DATALEN; missing bytes show as blanks.
;; Inputs: A: argument type; HL: address of the offset.
;; Outputs: the result is the argument, unchanged. Runs on the own stack.
DUMPLINE:
        cp 2
        ret nz
        call OWNSTACK
        ld e,(hl)
        inc hl
        ld d,(hl)
        ld (BUFPOS),de
        ld hl,DUMPTEXT          ; places 1-4: the offset
        push de
        ld a,d
        call HEXPUT
        pop de
        ld a,e
        call HEXPUT
        ld hl,DUMPTEXT+8        ; blank the hex fields and the characters
        ld b,DUMPCHARS+LINEBYTES-8
_blank:
        ld (hl),' '
        inc hl
        djnz _blank
        ld a,':'
        ld (DUMPTEXT+DUMPCHARS-2),a
        ld hl,DUMPTEXT+8        ; HL = the next hex field
        ld de,DUMPTEXT+DUMPCHARS ; DE = the next character place
        ld b,LINEBYTES
_byte:
        push bc
        push de
        push hl
        call BUFMORE
        pop hl
        pop de
        pop bc
        jr nc,_print            ; BUFPOS reached DATALEN
        call GETBUF
        ld c,a
        cp 20h
        jr nc,_show
        ld a,'.'                ; control codes show as "."
_show:
        ld (de),a
        inc de
        ld a,c
        push de
        call HEXPUT
        pop de
        inc hl                  ; over the blank after the field
        djnz _byte
_print:
        ld hl,DUMPTEXT
        call PRTEXT
        jp LEAVE

;; SENDLINE [USR4]
;;   Sends the 16 bytes from a buffer offset, as far as they lie below
;;   DATALEN, as upper-case hex digits and CR LF over the RS-232C line.
;; Inputs: A: argument type; HL: address of the offset.
;; Outputs: (HL) = the sum of the bytes sent modulo 256, high byte 0.
;;   Runs on the own stack.
SENDLINE:
        cp 2
        ret nz
        call OWNSTACK
        ld (ARGPTR),hl
        ld e,(hl)
        inc hl
        ld d,(hl)
        ld (BUFPOS),de
        ld bc,LINEBYTES*256     ; B = bytes still to send, C = the sum
_byte:
        push bc
        call BUFMORE
        pop bc
        jr nc,_end
        call GETBUF
        ld d,a
        add a,c
        ld c,a
        ld a,d
        call HEXBYTE
        ld a,d
        call RSPUT              ; keeps BC and DE
        ld a,e
        call RSPUT
        djnz _byte
_end:
        ld a,0Dh
        call RSPUT
        ld a,0Ah
        call RSPUT
        ld hl,(ARGPTR)
        ld (hl),c
        inc hl
        ld (hl),0
        jp LEAVE

;; BEEPS [USR5]
;;   Sounds n short beeps, n the argument's low byte: BEEPCNT counts
;;   ((n * 8) mod 256) - 1 ticks (n = 0: 255 ticks, 32 beeps).
;; Inputs: A: argument type; HL: address of n.
;; Outputs: the result is the argument, unchanged. Runs on BASIC's stack.
BEEPS:
        cp 2
        ret nz
        ld a,(hl)
        add a,a
        add a,a
        add a,a
        dec a
        ld b,a
        call HOOKON             ; keeps B
        ld hl,BEEPCNT
        ld (hl),b
_wait:
        ld a,(hl)               ; TICKHOOK counts it down
        or a
        jr nz,_wait
        ; fall into HOOKOFF

;; HOOKOFF
;;   Puts BASIC's vertical-retrace handler back and silences the beeper.
;; Destroys: A, HL. Returns with interrupts enabled.
HOOKOFF:
        di
        ld hl,(OLDVEC)
        ld (VRTCVEC),hl
        ld hl,PORT40CELL
        res 5,(hl)
        ld a,(hl)
        out (P_BEEP),a
        ei
        ret

;; HOOKON
;;   Installs TICKHOOK in front of BASIC's vertical-retrace handler.
;; Outputs: BEEPCNT = 0. Destroys: A, HL. Returns with interrupts enabled.
HOOKON:
        di
        ld hl,(VRTCVEC)
        ld (OLDVEC),hl
        ld hl,TICKHOOK
        ld (VRTCVEC),hl
        xor a
        ld (BEEPCNT),a
        ei
        ret

;; TICKHOOK
;;   The vertical-retrace hook, once a tick: counts BEEPCNT down (the beeper
;;   sounds while bit 2 of the new count is 1), counts TICKS up and chains
;;   to BASIC's handler, which returns into the tail.
;; Preserves: everything. Uses only AF (stacked) and HL (in HOOKHL).
TICKHOOK:
        ld (HOOKHL),hl
        push af
        ld hl,BEEPCNT
        ld a,(hl)
        or a
        jr z,_count
        dec a
        ld (hl),a
        and 4
        rlca
        rlca
        rlca                    ; bit 2 of the count to bit 5
        ld hl,PORT40CELL
        xor (hl)
        and BEEPBIT
        xor (hl)                ; bit 5 from the count, the rest from the cell
        ld (hl),a
        out (P_BEEP),a
_count:
        pop af
        ld hl,(TICKS)
        inc hl
        ld (TICKS),hl
        ld hl,_tail
        push hl
        ld hl,(OLDVEC)
        jp (hl)
_tail:
        ld hl,(HOOKHL)
        ret

;; PRFOUND
;;   Starts one short beep (BEEPCNT = 7) and prints the text at HL.
;; PRTEXT
;;   Prints the NUL-terminated text at HL.
;; Destroys: everything (PUTCHR keeps only HL); HL ends on the NUL.
PRFOUND:
        ld a,BEEPONE
        ld (BEEPCNT),a
PRTEXT:
        ld a,(hl)
        or a
        ret z
        call PUTCHR
        inc hl
        jr PRTEXT

;; HEXPUT
;;   Writes A as two hex digits at HL and HL + 1.
;; Outputs: HL advanced by 2. Destroys: A, DE.
HEXPUT:
        call HEXBYTE
        ld (hl),d
        inc hl
        ld (hl),e
        inc hl
        ret

;; HEXBYTE
;;   A as two upper-case hex digit characters.
;; Outputs: D = the high digit, E = the low digit, A = E. Preserves: BC, HL.
HEXBYTE:
        push af
        rrca
        rrca
        rrca
        rrca
        call HEXDIGIT
        ld d,a
        pop af
HEXDIGIT:
        and 0Fh
        add a,90h               ; &H90-&H99 or &H9A-&H9F
        daa                     ; &H90-&H99, or &H00-&H05 with carry
        adc a,40h
        daa                     ; "0"-"9" (&H30 + value) or "A"-"F" (&H37 + value)
        ld e,a
        ret

CODEEND:

; ---- variables: all 0 in the DATA lines --------------------------------------
VARS:
OLDSP:      dw 0        ; BASIC's SP while the routine runs on its own stack
OLDFLAGS:   db 0        ; CMTFLAGCELL before the read
OLDSPEED:   db 0        ; SPEEDCELL before the read (must follow OLDFLAGS)
ARGPTR:     dw 0        ; address of the USR argument, where the result goes
MODE:       db 0        ; speed mode of the current or last read
OLDVEC:     dw 0        ; BASIC's vertical-retrace vector, saved by HOOKON
TICKS:      dw 0        ; ticks since GETBYTE began to wait
LIMIT:      dw 0        ; GETBYTE's limit in ticks, 0 for none
HOOKHL:     dw 0        ; the interrupted code's HL, kept by TICKHOOK
BUFPOS:     dw 0        ; buffer offset of the next store or fetch
DATALEN:    dw 0        ; bytes of the last read
BEEPCNT:    db 0        ; beeper countdown in ticks

; ---- texts, each ending with NUL ----------------------------------------------
TEXTS:
TXTBASIC:   db "Found(Basic Program)", 13, 10, 0
TXTMCODE:   db "Found(Machine Code)", 13, 10, 0
TXTDATA:    db "Found(Data)", 13, 10, 0
TXTUNKNOWN: db "Found(Unknown)", 13, 10, 0
DUMPCHARS   equ 58      ; index of the first character place in DUMPTEXT
DUMPTEXT:   db "XXXXH : XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX : "
            db "................", 13, 10, 0
ROUTINEEND:

; ---- checks of the layout --------------------------------------------------------
        if ROUTINEEND - 0B000h > 1280
        .error the routine does not fit Grebe's 40 DATA lines
        endif
        if ROUTINEEND - DUMPTEXT != 77
        .error DUMPTEXT must be 76 characters and a NUL
        endif
        if OLDSPEED - OLDFLAGS != 1
        .error OLDSPEED must follow OLDFLAGS
        endif
        if SPEED600 != SPEED1200 - 1
        .error TAPEREAD derives the 600-baud speed byte by DEC
        endif

        end
