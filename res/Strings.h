// SPDX-License-Identifier: GPL-3.0-or-later
// Every text the user sees, keyed by string id. The numbers of the
// framework-style ids follow the classic document/view resource numbering so
// that a text keeps one key across the whole program.
#pragma once

#include <string_view>

namespace res {

enum StringId : unsigned {
    // A separator in a menu or tool bar: no command, no text.
    ID_SEPARATOR = 0,

    // Document string of the single document type (title, type names...).
    IDR_MAINFRAME = 128,

    // Our own commands: the prompt is "status bar text\ntool tip".
    ID_SEND_PROGRAM = 32771,
    ID_MOVE_UP = 32772,
    ID_MOVE_DOWN = 32773,
    ID_COMM_SETTINGS = 32774,      // pick the serial port again while running
    ID_VIEW_BLOCK_PANE = 32775,    // show or hide the pane of the selected block's contents
    ID_VIEW_DAMAGE_REPORT = 32776, // the list of the tape's damaged bytes, shown again
    ID_VIEW_WAVEFORM = 32777,      // the recording's signal under the selected block's first
                                   // damaged byte
    ID_FILE_MERGE_TAKE = 32790,    // merge another recording of the same tape into the open one

    // Application and file dialog texts.
    AFX_IDS_APP_TITLE = 57344,
    AFX_IDS_IDLEMESSAGE = 57345,
    AFX_IDS_OPENFILE = 61440,
    AFX_IDS_SAVEFILE = 61441,
    AFX_IDS_ALLFILTER = 61442,
    AFX_IDS_UNTITLED = 61443,

    // Document messages.
    AFX_IDP_FAILED_TO_OPEN_DOC = 61697,
    AFX_IDP_FAILED_TO_SAVE_DOC = 61698,
    AFX_IDP_ASK_TO_SAVE = 61699,
    AFX_IDP_FAILED_INVALID_FORMAT = 61708,

    // Standard command prompts.
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_MRU_FILE1 = 57616, // the recent files are 57616 on; all share this prompt
    ID_EDIT_CLEAR = 57632,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,

    // Key-state panes of the status bar.
    ID_INDICATOR_CAPS = 0xE701,
    ID_INDICATOR_NUM = 0xE702,
    ID_INDICATOR_SCRL = 0xE703,
    ID_INDICATOR_KANA = 0xE706,

    // Texts of our own that have no number of their own elsewhere.
    IDS_TAPE_FILTER = 40001,      // first entry of the file dialog's filter list
    IDS_T88_FILTER = 40002,       // the file dialogs' entry for T88 images
    IDS_RECORDING_FILTER = 40003, // the Open dialog's entry for cassette recordings
    IDS_WAV_FILTER = 40004,       // the Save As dialog's entry for WAV recordings
    IDS_RECV_BAD_LENGTH = 40010,  // the byte-count line is not a hex number
    IDS_RECV_BAD_DATA = 40011,    // a data line is malformed or too long
    IDS_RECV_BAD_CHECKSUM = 40012,
    IDS_PORT_UNUSABLE = 40020,        // the chosen serial port cannot be opened
    IDS_PORT_LOST = 40021,            // the serial link went away while open
    IDS_PORT_PERMISSION_HINT = 40022, // the port was refused for lack of permission
    IDS_PORT_PC88_LINK = 40023,       // the port list's entry for the virtual PC-8801
    IDS_TRANSFER_CUT_OFF = 40024,     // the line went away in the middle of a transfer
    IDS_LOADER_HINT = 40025,          // status bar: what to type on the PC-8801 before sending
    IDS_NO_PORT = 40026,              // status bar: the program runs without a port
    IDS_PORT_REOPEN_HINT = 40027,     // status bar, after a lost line: where to open one again
    // Cassette recordings.
    IDS_RECORDING_RATE_TOO_LOW = 40030, // sample rate under 8000 Hz
    IDS_RECORDING_CANCELLED = 40031,    // the user stopped a decode
    IDS_RECORDING_DAMAGED = 40032,      // heading of the list of damaged bytes
    IDS_RECORDING_FAULT_LINE = 40033,   // %1 block, %2 byte offset, %3 time, %4 what
    IDS_FAULT_FRAMING = 40034,
    IDS_FAULT_UNDECIDED = 40035,
    IDS_FAULT_LOST = 40036,
    IDS_RECORDING_PROGRESS = 40037,     // %1 percent of the recording read
    IDS_RECORDING_WAV_ONLY = 40038,     // a tape is saved as a recording only as .wav
    IDS_RECORDING_DAMAGED_MORE = 40039, // %1 damaged bytes not listed in the message itself
    IDS_TAPE_TOO_LONG = 40040, // why a tape too long for the 32-bit time of KXM/T88 is not saved
    IDS_RECORDING_NO_BLOCKS = 40041, // a recording with no samples, or none that made a block
    IDS_DAMAGE_RUN_LINE = 40042,     // %1 block, %2-%3 byte offsets, %4 time, %5 what
    IDS_FAULT_UNKNOWN = 40043,       // a damage mark of a kind this program does not know
    // The system's reasons that we word ourselves (SystemReasons.h).
    IDS_REASON_PERMISSION = 40050,
    IDS_REASON_BUSY = 40051,
    IDS_REASON_MISSING = 40052,
    IDS_REASON_REMOVED = 40053, // ENODEV, ENXIO: the device is gone
    IDS_REASON_HUNG_UP = 40054, // the far end of the line closed, or the cable was pulled
    IDS_REASON_IO = 40055,
    IDS_REASON_NO_SPACE = 40056,
    // What a save in a format would lose of the tape (SaveLosses.h).
    IDS_SAVE_LOSSES = 40060,          // heading of the list
    IDS_LOSS_SPEEDS = 40061,          // %1 blocks of 1200 baud a raw image keeps as 600
    IDS_LOSS_JOINED_SPEEDS = 40062,   // %1 blocks that join a header of another speed
    IDS_LOSS_DIVISION = 40063,        // %1 blocks are cut again into %2
    IDS_LOSS_DAMAGE_MARKS = 40064,    // %1 damage marks the format has no place for
    IDS_SAVE_LOSSES_QUESTION = 40065, // below the list: save all the same?
    IDS_RECORDING_NO_DAMAGE = 40066,  // the damage report of a tape with no marks
    // What the recording decoder says of bytes and blocks.
    IDS_FAULT_MISSING = 40070,      // about %1 bytes missing before the byte named
    IDS_FAULT_EXTRA = 40071,        // about %1 bytes too many before the byte named
    IDS_FAULT_SLIP = 40072,         // bytes missing or too many there, how many unknown
    IDS_FAULT_ALTERNATIVES = 40073, // %1 the other readings weighed, in hex
    IDS_QUALITY_CHECK_OK = 40074,   // the block's own checks (sums, links) hold
    IDS_QUALITY_CHECK_BAD = 40075,  // one of the block's own checks fails
    IDS_QUALITY_NO_CHECK = 40076,   // the block's kind carries no check
    // Takes of one tape merged.
    IDS_MERGE_BLOCK_LINE = 40090,   // %1 block, %2 its takes, %3 bytes mended, %4 by majority
    IDS_MERGE_UNDECIDED = 40091,    // heading of the bytes no take read cleanly
    IDS_MERGE_WHOLE = 40092,        // every byte read cleanly by some take
    IDS_MERGE_RESULT = 40093,       // %1 bytes mended, %2 left doubtful (the window's message)
    IDS_MERGE_TITLE = 40094,        // the title of the file dialog that picks the other take
    IDS_RECORDING_TOO_LONG = 40044, // why a recording over what a WAV file holds is not saved
    IDS_RECORDING_NOT_OUT = 40045,  // a recording is not received into: the user's original

    // Dialog titles, keyed by the dialog's number.
    IDD_ABOUTBOX = 100,
    IDD_SEND_PROGRESS = 131,
    IDD_RECV_PROGRESS = 132,
    IDD_COMM_SETTINGS = 133,
    IDD_DECODE_PROGRESS = 134,

    // Texts inside the dialogs.
    IDS_ABOUT_VERSION = 40100, // the version line, before the file version
    IDS_ABOUT_NOTICE = 40101,  // the maker's notice
    IDS_COMM_PORT_LABEL = 40110,
    IDS_COMM_BAUD_LABEL = 40111,
    IDS_BUTTON_OK = 40120,
    IDS_BUTTON_CANCEL = 40121,
    IDS_BUTTON_STOP = 40122,         // the progress dialogs' cancel button
    IDS_BUTTON_NO_PORT = 40123,      // the settings dialog: start without a port
    IDS_BUTTON_SAVE_ANYWAY = 40124,  // the lossy save's question: save all the same
    IDS_BUTTON_OTHER_FORMAT = 40125, // the lossy save's question: choose another name or format
    IDS_RECV_PROGRESS_TEXT = 40130,
    IDS_SEND_PROGRESS_TEXT = 40131,
    IDS_DECODE_PROGRESS_TEXT = 40132,

    // Column titles of the block list.
    IDS_COLUMN_BAUD = 40140,
    IDS_COLUMN_BYTES = 40141,
    IDS_COLUMN_TYPE = 40142,
    IDS_COLUMN_FILENAME = 40143,
    IDS_COLUMN_NUMBER = 40144,   // the block's number, from 1
    IDS_STATUS_TAPE = 40145,     // status bar: %1 blocks, %2 bytes in all
    IDS_STATUS_SELECTED = 40146, // status bar: block %1 (from 1) of the tape is selected
    IDS_ROW_DAMAGED = 40147,     // the tool tip of a row's damage mark: %1 bytes marked
    // More of a row's mark: how clearly the decoder read the block (%1 the
    // mean, %2 the least clear byte, in per cent), and which of the checks
    // its data carries fails (%1 the offset).
    IDS_ROW_SCORE = 40170,
    IDS_ROW_BROKEN_LINK = 40171,
    IDS_ROW_PROGRAM_CUT = 40172,
    IDS_ROW_BAD_CHECK = 40173,
    IDS_ROW_RECORDS_CUT = 40174,
    // The pane of the selected block's contents: its title, its three views,
    // and what it says of a block it cannot show whole (%1 the offset).
    IDS_PANE_TITLE = 40150,
    IDS_PANE_VIEW_HEX = 40151,
    IDS_PANE_VIEW_BASIC = 40152,
    IDS_PANE_VIEW_ASM = 40153,
    IDS_PANE_BROKEN_LINK = 40154,
    IDS_PANE_PROGRAM_CUT = 40155,
    IDS_PANE_BAD_CHECK = 40156,
    IDS_PANE_RECORDS_CUT = 40157,
    IDS_PANE_RECORDING_DAMAGE = 40158, // %1 bytes the recording's decoder marked, highlighted
    // The waveform of a damaged byte: its title (%1 block, %2 offset), what
    // it says of a byte marked no more and of each reading (%1 hex, %2
    // bits), its button, and why it cannot be shown.
    IDS_WAVEFORM_TITLE = 40180,
    IDS_WAVEFORM_CLEAN = 40182,         // the byte is marked no more
    IDS_WAVEFORM_READING_NOW = 40183,   // the reading the tape holds
    IDS_WAVEFORM_READING_OTHER = 40184, // another reading the decoder weighed
    IDS_WAVEFORM_PICK = 40185,          // the button that takes the reading chosen
    IDS_WAVEFORM_UNAVAILABLE = 40186,   // the byte is not marked, or its recording cannot be read
    IDS_WAVEFORM_SHOW = 40187,          // the damage list's button that opens the waveform
    IDS_WAVEFORM_PREVIOUS = 40188,      // the button to the marked byte before this one
    IDS_WAVEFORM_NEXT = 40189,          // the button to the marked byte after this one
    IDS_WAVEFORM_CLOSE = 40190,         // the button that closes the waveform
    IDS_WAVEFORM_ASK = 40191,           // the damage list's question whether to show the waveform
};

// The text for an id; empty for an id that has no text.
std::string_view LoadString(StringId id);

} // namespace res
