// SPDX-License-Identifier: GPL-3.0-or-later
// The waveform of a damaged byte: the recording's signal around it, with
// the bit cells and bytes the decoder framed on it (each cell's bit, the
// less clear the redder; each byte's value below it; the byte shown on a
// tinted ground), and the readings to pick from. Picking one has the
// session put it into the tape, as an edit that undo takes back; the arrows
// go to the marked byte before or after it.
#pragma once

#include <QDialog>
#include <QWidget>

#include <cstddef>

#include "audio/ByteWaveform.h"

class QLabel;
class QListWidget;
class QPushButton;
class CTapeSession;

// The signal and the cells, drawn to the widget's size.
class CWaveformView : public QWidget {
    Q_OBJECT

  public:
    explicit CWaveformView(const CByteWaveform& wave, QWidget* parent = nullptr);
    // Another byte's waveform, which must outlive the view.
    void SetWave(const CByteWaveform& wave);
    QSize sizeHint() const override;
    // The value the tape holds for the byte shown, drawn under it.
    void SetShownValue(std::uint8_t nValue);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const CByteWaveform* m_pWave;
    std::uint8_t m_nShownValue;
};

class CWaveformDlg : public QDialog {
    Q_OBJECT

  public:
    // Byte nOffset of block nBlock of the tape, as the session read it.
    CWaveformDlg(CTapeSession& session, std::size_t nBlock, std::size_t nOffset, CByteWaveform wave,
                 QWidget* parent = nullptr);

    // For the user's choice and for tests: the readings, in the list's order.
    QListWidget* GetReadings() const { return m_readings; }
    // Puts the selected reading into the tape.
    void PickSelected();
    // Goes to the marked byte after (before) this one whose waveform can
    // be read again; false when there is none.
    bool Step(bool bForward);
    std::size_t GetOffset() const { return m_nOffset; }

  private:
    void Refresh();

    CTapeSession& m_session;
    std::size_t m_nBlock;
    std::size_t m_nOffset;
    CByteWaveform m_wave;
    CWaveformView* m_view = nullptr;
    QLabel* m_state = nullptr;
    QListWidget* m_readings = nullptr;
    QPushButton* m_pick = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
};
