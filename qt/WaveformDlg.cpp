// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/WaveformDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "res/UiText.h"
#include "session/TapeSession.h"
#include "session/WaveformDrawing.h"

CWaveformView::CWaveformView(const CByteWaveform& wave, QWidget* parent)
    : QWidget(parent), m_pWave(&wave),
      m_nShownValue(wave.nShown < wave.bytes.size() ? wave.bytes[wave.nShown].nValue : 0) {
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

QSize CWaveformView::sizeHint() const {
    return {760, 220};
}

void CWaveformView::SetWave(const CByteWaveform& wave) {
    m_pWave = &wave;
    update();
}

void CWaveformView::SetShownValue(std::uint8_t nValue) {
    m_nShownValue = nValue;
    update();
}

void CWaveformView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int line = fontMetrics().height();
    const CWaveformDrawing drawing =
        LayoutWaveform(*m_pWave, m_nShownValue, width(), height(), line);
    if (!drawing.bSignal)
        return;
    const CWaveformPlot& plot = drawing.plot;
    for (const CWaveformByteDrawing& byte : drawing.bytes) {
        const QRectF frame(QPointF(byte.Left(), plot.dTop), QPointF(byte.Right(), plot.Bottom()));
        if (byte.ground == EWaveformGround::shown)
            painter.fillRect(frame, QColor(255, 240, 190));
        else if (byte.ground == EWaveformGround::damaged)
            painter.fillRect(frame, QColor(255, 220, 220));
        for (int i = 0; i <= kBitsPerByte; ++i) {
            const bool bFrameEdge = i == 0 || i == kBitsPerByte;
            painter.setPen(QPen(bFrameEdge ? QColor(90, 90, 90) : QColor(200, 200, 200), 1));
            painter.drawLine(QPointF(byte.lines[i], plot.dTop),
                             QPointF(byte.lines[i], plot.Bottom()));
        }
        for (const CWaveformBit& bit : byte.bits) {
            painter.setPen(QColor(bit.nRed, 0, 0));
            painter.drawText(
                QRectF(QPointF(bit.dLeft, drawing.dBitsTop), QPointF(bit.dRight, plot.dTop)),
                Qt::AlignCenter, QString(QLatin1Char(bit.cText)));
        }
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRectF(QPointF(frame.left(), plot.Bottom()),
                                QPointF(frame.right(), drawing.dValuesBottom)),
                         Qt::AlignCenter, QString::fromStdString(byte.strValue));
    }

    QPainterPath path;
    const std::vector<float>& samples = m_pWave->samples;
    path.moveTo(plot.X(0), plot.Y(samples[0]));
    for (std::size_t i = 1; i < samples.size(); ++i)
        path.lineTo(plot.X(static_cast<double>(i)), plot.Y(samples[i]));
    painter.setPen(QPen(QColor(0, 70, 160), 1.2));
    painter.drawPath(path);
}

CWaveformDlg::CWaveformDlg(CTapeSession& session, std::size_t nBlock, std::size_t nOffset,
                           CByteWaveform wave, QWidget* parent)
    : QDialog(parent), m_session(session), m_nBlock(nBlock), m_nOffset(nOffset),
      m_wave(std::move(wave)) {
    setWindowTitle(QString::fromStdString(WaveformTitle(nBlock, nOffset)));
    auto* layout = new QVBoxLayout(this);
    m_view = new CWaveformView(m_wave, this);
    layout->addWidget(m_view, 1);
    m_state = new QLabel(this);
    m_state->setWordWrap(true);
    layout->addWidget(m_state);
    m_readings = new QListWidget(this);
    m_readings->setMaximumHeight(m_readings->fontMetrics().height() * 6);
    layout->addWidget(m_readings);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_pick = buttons->addButton(res::Text(res::IDS_WAVEFORM_PICK), QDialogButtonBox::ActionRole);
    m_previous =
        buttons->addButton(res::Text(res::IDS_WAVEFORM_PREVIOUS), QDialogButtonBox::ActionRole);
    m_next = buttons->addButton(res::Text(res::IDS_WAVEFORM_NEXT), QDialogButtonBox::ActionRole);
    connect(m_previous, &QPushButton::clicked, this, [this] { Step(false); });
    connect(m_next, &QPushButton::clicked, this, [this] { Step(true); });
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pick, &QPushButton::clicked, this, &CWaveformDlg::PickSelected);
    connect(m_readings, &QListWidget::currentRowChanged, this, &CWaveformDlg::Refresh);
    connect(m_readings, &QListWidget::itemDoubleClicked, this, &CWaveformDlg::PickSelected);
    Refresh();
}

void CWaveformDlg::PickSelected() {
    const int nRow = m_readings->currentRow();
    if (nRow < 0 || static_cast<std::size_t>(nRow) >= m_wave.readings.size())
        return;
    m_session.PickReading(m_nBlock, m_nOffset, m_wave.readings[static_cast<std::size_t>(nRow)]);
    Refresh();
}

bool CWaveformDlg::Step(bool bForward) {
    auto step = StepWaveform(m_session, m_nBlock, m_nOffset, bForward);
    if (!step)
        return false;
    m_nBlock = step->place.nBlock;
    m_nOffset = step->place.nOffset;
    m_wave = std::move(step->wave);
    m_view->SetWave(m_wave);
    m_readings->setCurrentRow(-1);
    Refresh();
    return true;
}

void CWaveformDlg::Refresh() {
    // What the tape holds now, and whether the byte is still marked.
    const CRelmuthDoc& doc = m_session.GetDocument();
    const std::optional<std::uint8_t> nNow = TapeByte(doc, m_nBlock, m_nOffset);
    m_state->setText(QString::fromStdString(WaveformStateText(doc, m_nBlock, m_nOffset)));
    m_view->SetShownValue(nNow.value_or(0));

    const int nCurrent = m_readings->currentRow();
    const QSignalBlocker blocker(m_readings);
    m_readings->clear();
    for (const std::string& text : WaveformReadingTexts(m_wave, nNow))
        m_readings->addItem(QString::fromStdString(text));
    m_readings->setCurrentRow(nCurrent >= 0 ? nCurrent : 0);
    const int nRow = m_readings->currentRow();
    m_pick->setEnabled(nNow && nRow >= 0 &&
                       m_wave.readings[static_cast<std::size_t>(nRow)] != *nNow);
    setWindowTitle(QString::fromStdString(WaveformTitle(m_nBlock, m_nOffset)));
    const CDamageMarks& marks = doc.m_damageMarks;
    m_previous->setEnabled(NextMarkedByte(marks, m_nBlock, m_nOffset, false).has_value());
    m_next->setEnabled(NextMarkedByte(marks, m_nBlock, m_nOffset, true).has_value());
}
