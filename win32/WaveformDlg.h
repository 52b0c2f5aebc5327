// SPDX-License-Identifier: GPL-3.0-or-later
// The waveform of a damaged byte (135), drawn with GDI: the recording's
// signal around the byte, the bit cells and bytes the decoder framed on it
// (each cell's bit the redder the less clearly it was decided, each byte's
// value below it, the byte shown on a tinted ground), what is known of the
// byte, and the readings to pick from. Picking one has the session put it
// into the tape, as an edit that undo takes back; the arrows go to the
// marked byte before or after it. Where things go is
// session/WaveformDrawing's.
#pragma once

#include "win32/Relmuth.h"

#include <cstddef>
#include <string>
#include <vector>

#include "audio/ByteWaveform.h"

class CTapeSession;

class CWaveformDlg {
  public:
    // Byte nOffset of block nBlock of the tape, as the session read it.
    CWaveformDlg(CTapeSession& session, std::size_t nBlock, std::size_t nOffset,
                 CByteWaveform wave);
    ~CWaveformDlg();
    CWaveformDlg(const CWaveformDlg&) = delete;
    CWaveformDlg& operator=(const CWaveformDlg&) = delete;

    INT_PTR DoModal(HWND hwndOwner);
    // The same dialog, modeless (for tests); false when it could not be made.
    bool Create(HWND hwndOwner);
    HWND GetHwnd() const { return m_hwnd; }

    // For the user's choice and for tests: the readings as listed, the one
    // selected; puts the selected one into the tape.
    std::vector<std::wstring> GetReadingTexts() const;
    void SelectReading(int nRow);
    void PickSelected();
    // Goes to the marked byte after (before) this one whose waveform can
    // be read again; false when there is none.
    bool Step(bool bForward);
    std::size_t GetBlock() const { return m_nBlock; }
    std::size_t GetOffset() const { return m_nOffset; }

  private:
    static INT_PTR CALLBACK DlgProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ViewProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    static bool RegisterViewClass();
    void OnInitDialog(HWND hwnd);
    void Refresh();
    void Paint(HWND hwndView, HDC hdc) const;

    CTapeSession& m_session;
    std::size_t m_nBlock;
    std::size_t m_nOffset;
    CByteWaveform m_wave;
    std::uint8_t m_nShownValue = 0;
    HWND m_hwnd = nullptr;
    bool m_bModeless = false;
};
