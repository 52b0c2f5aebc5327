// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/WaveformDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "res/UiText.h"
#include "session/TapeSession.h"

namespace {

constexpr int kLabelRows = 2; // the bits above the signal, the values below

QString Hex(std::uint8_t value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString Binary(std::uint8_t value) {
    return QStringLiteral("%1").arg(value, 8, 2, QLatin1Char('0'));
}

} // namespace

CWaveformView::CWaveformView(const CByteWaveform& wave, QWidget* parent)
    : QWidget(parent), m_wave(wave),
      m_nShownValue(wave.nShown < wave.bytes.size() ? wave.bytes[wave.nShown].nValue : 0) {
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

QSize CWaveformView::sizeHint() const {
    return {760, 220};
}

void CWaveformView::SetShownValue(std::uint8_t nValue) {
    m_nShownValue = nValue;
    update();
}

void CWaveformView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int nSamples = static_cast<int>(m_wave.samples.size());
    if (nSamples < 2)
        return;
    const int line = fontMetrics().height();
    const QRectF plot(0, line * 1.5, width(), height() - line * (kLabelRows + 1.5));
    const double dx = plot.width() / (nSamples - 1);
    auto x = [&](double sample) { return plot.left() + sample * dx; };
    float peak = 0.0f;
    for (const float v : m_wave.samples)
        peak = std::max(peak, std::fabs(v));
    const double scale = peak > 0 ? plot.height() / 2 / peak * 0.9 : 0;
    auto y = [&](double v) { return plot.center().y() - v * scale; };

    for (std::size_t j = 0; j < m_wave.bytes.size(); ++j) {
        const CWaveformByte& byte = m_wave.bytes[j];
        const QRectF frame(QPointF(x(byte.cells[0]), plot.top()),
                           QPointF(x(byte.cells[kBitsPerByte]), plot.bottom()));
        if (j == m_wave.nShown)
            painter.fillRect(frame, QColor(255, 240, 190));
        else if (byte.fault)
            painter.fillRect(frame, QColor(255, 220, 220));
        for (int i = 0; i <= kBitsPerByte; ++i) {
            const bool bFrameEdge = i == 0 || i == kBitsPerByte;
            painter.setPen(QPen(bFrameEdge ? QColor(90, 90, 90) : QColor(200, 200, 200), 1));
            painter.drawLine(QPointF(x(byte.cells[i]), plot.top()),
                             QPointF(x(byte.cells[i]), plot.bottom()));
        }
        // Each cell's bit, redder the less clearly it was decided.
        for (int i = 0; i < kBitsPerByte; ++i) {
            const double doubt = byte.bLost ? 1.0 : 1.0 - std::clamp(byte.margins[i], 0.0, 1.0);
            painter.setPen(QColor(static_cast<int>(220 * doubt), 0, 0));
            const QRectF cell(QPointF(x(byte.cells[i]), 0),
                              QPointF(x(byte.cells[i + 1]), plot.top()));
            painter.drawText(cell, Qt::AlignCenter,
                             byte.bLost ? QStringLiteral("?") : QString::number(byte.bits[i]));
        }
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRectF(frame.left(), plot.bottom(), frame.width(), line * kLabelRows),
                         Qt::AlignCenter, Hex(j == m_wave.nShown ? m_nShownValue : byte.nValue));
    }

    QPainterPath path;
    path.moveTo(x(0), y(m_wave.samples[0]));
    for (int i = 1; i < nSamples; ++i)
        path.lineTo(x(i), y(m_wave.samples[static_cast<std::size_t>(i)]));
    painter.setPen(QPen(QColor(0, 70, 160), 1.2));
    painter.drawPath(path);
}

CWaveformDlg::CWaveformDlg(CTapeSession& session, std::size_t nBlock, std::size_t nOffset,
                           CByteWaveform wave, QWidget* parent)
    : QDialog(parent), m_session(session), m_nBlock(nBlock), m_nOffset(nOffset),
      m_wave(std::move(wave)) {
    setWindowTitle(res::Text(res::IDS_WAVEFORM_TITLE).arg(nBlock).arg(nOffset));
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

void CWaveformDlg::Refresh() {
    // What the tape holds now, and whether the byte is still marked.
    const CRelmuthDoc& doc = m_session.GetDocument();
    const bool bThere =
        m_nBlock < doc.m_blocks.size() && m_nOffset < doc.m_blocks[m_nBlock].m_data.size();
    const std::uint8_t nNow = bThere ? doc.m_blocks[m_nBlock].m_data[m_nOffset] : 0;
    QString state = res::Text(res::IDS_WAVEFORM_CLEAN);
    for (const CDamageMark& mark : MarksOfBlock(doc.m_damageMarks, m_nBlock)) {
        if (m_nOffset >= mark.nOffset && m_nOffset - mark.nOffset < mark.nCount)
            state = QString::fromStdString(DescribeDamageMark(mark));
    }
    m_state->setText(state);
    m_view->SetShownValue(nNow);

    const int nCurrent = m_readings->currentRow();
    const QSignalBlocker blocker(m_readings);
    m_readings->clear();
    for (const std::uint8_t value : m_wave.readings) {
        const auto nId =
            value == nNow ? res::IDS_WAVEFORM_READING_NOW : res::IDS_WAVEFORM_READING_OTHER;
        m_readings->addItem(res::Text(nId).arg(Hex(value), Binary(value)));
    }
    m_readings->setCurrentRow(nCurrent >= 0 ? nCurrent : 0);
    const int nRow = m_readings->currentRow();
    m_pick->setEnabled(bThere && nRow >= 0 &&
                       m_wave.readings[static_cast<std::size_t>(nRow)] != nNow);
}
