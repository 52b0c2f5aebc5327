// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of the tape file name prompt: its filter list, its default
// extension and its fixed flags. The window program's file dialog follows
// them; the rules themselves need no window.
#pragma once

#include <string>
#include <vector>

struct CFileFilter {
    std::string strDescription;
    std::string strPattern; // patterns separated by ';'
};

// File dialog flags.
inline constexpr unsigned OFN_OVERWRITEPROMPT = 0x0002;
inline constexpr unsigned OFN_HIDEREADONLY = 0x0004;
inline constexpr unsigned OFN_PATHMUSTEXIST = 0x0800;
inline constexpr unsigned OFN_FILEMUSTEXIST = 0x1000;

// Every tape file dialog hides the read-only box and asks before overwriting.
inline constexpr unsigned kTapeDialogFixedFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
inline constexpr unsigned kOpenDialogFlags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
inline constexpr unsigned kSaveDialogFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;

// Appended to a name typed without an extension.
inline constexpr const char* kDefaultTapeExtension = "kxm";

// The two entries every filter list starts with, the tape images first
// (selected when the dialog opens), then all files. The first names two
// extensions while its pattern takes three.
std::vector<CFileFilter> GetTapeFileFilters();
// A dialog's whole list: those two, then the further formats it offers. Open
// offers T88 images and cassette recordings; Save As T88 images and WAV
// recordings, the only recordings written.
std::vector<CFileFilter> GetTapeFileFilters(bool bOpenFileDialog);

// What a name typed without an extension gets while this entry is chosen:
// the extension of its first pattern, or "kxm" when that is no single
// extension ("*.*").
std::string DefaultExtensionOf(const CFileFilter& filter);

// The file name part of a path: what follows its last '/' (all of it when
// there is none).
std::string FileNameOf(const std::string& strPathName);

// The name with ".kxm" added when its file name part has no extension.
std::string WithDefaultTapeExtension(const std::string& strPathName);
