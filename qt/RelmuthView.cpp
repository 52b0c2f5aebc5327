// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/RelmuthView.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMessageBox>

#include "loader/LoaderText.h"
#include "qt/BlockListModel.h"
#include "qt/CommSettingsDlg.h"
#include "qt/RecvProgressDlg.h"
#include "qt/SendProgressDlg.h"
#include "qt/ViewEvents.h"
#include "qt/WaveformDlg.h"
#include "res/UiText.h"
#include "serial/PortNames.h"
#include "session/SendLoader.h"

namespace {

// The line went away, and why; posted by the port's threads.
class CCommLostEvent : public QEvent {
  public:
    explicit CCommLostEvent(CCommError error) : QEvent(WM_COMM_LOST), m_error(std::move(error)) {}
    const CCommError& GetError() const { return m_error; }

  private:
    CCommError m_error;
};

// Column widths in horizontal dialog units.
constexpr int kColumnUnits[CBlockListModel::kColumnCount] = {10, 10, 20, 20};

} // namespace

std::string CQtClipboard::GetText() const {
    if (!m_text)
        m_text = QGuiApplication::clipboard()->text().toStdString();
    return *m_text;
}

void CQtClipboard::SetText(const std::string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    m_text.reset();
}

CRelmuthView::CRelmuthView(CRelmuthDoc& doc, QWidget* parent)
    : QTreeView(parent), m_doc(doc), m_model(new CBlockListModel(doc, this)),
      m_session(doc, *this,
                // The port's threads only post; the events are handled here, in order.
                {[this] { QCoreApplication::postEvent(this, new QEvent(WM_COMM_RECEIVED)); },
                 [this](const CCommError& error) {
                     QCoreApplication::postEvent(this, new CCommLostEvent(error));
                 }}) {
    m_session.AttachEditing(*this, m_clipboard);
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(true); // the file name takes the window's width
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        m_clipboard.OnChanged();
        emit commandStateChanged(); // Paste may come or go
    });
    m_doc.AddView(this);
}

CRelmuthView::~CRelmuthView() {
    m_doc.RemoveView(this);
    // The port's threads end before anything they post to goes.
    m_session.ClosePort();
    m_pRecvDlg.reset();
}

void CRelmuthView::OnDestroy() {
    m_session.ClosePort();
    if (m_pRecvDlg) {
        window()->setEnabled(true);
        m_pRecvDlg.reset();
    }
}

bool CRelmuthView::HasColumns() const {
    return m_model->hasColumns();
}

void CRelmuthView::OnInitialUpdate() {
    m_model->resync();
    emit commandStateChanged();
    if (!m_bFirstUpdateDone) {
        m_bFirstUpdateDone = true;
        const PortChoice choice =
            OpenStartPort() ? PortChoice::opened : RunCommSettingsLoop(nullptr, true);
        if (choice == PortChoice::cancelled) {
            emit closeRequested();
            return;
        }
        InsertColumns();
        if (choice == PortChoice::opened)
            emit portOpened();
    }
    m_session.InstallReceiver();
    emit commandStateChanged();
}

bool CRelmuthView::OpenStartPort() {
    if (!m_startPort)
        return false;
    const CStartPort port = *std::exchange(m_startPort, std::nullopt);
    if (m_session.OpenPort(PortDevicePathFromName(port.strName), port.nBaudFlag))
        return true;
    ShowPortUnusableMessage(isVisible() ? window() : nullptr, port.strName,
                            m_session.GetOpenError());
    return false;
}

CRelmuthView::PortChoice CRelmuthView::RunCommSettingsLoop(QWidget* parent, bool bOfferNoPort) {
    for (;;) {
        // A new one each time: "COM1" and "9600" again.
        CCommSettingsDlg dlg(parent, bOfferNoPort);
        const int nResult = dlg.exec();
        if (nResult == CCommSettingsDlg::kContinueWithoutPort)
            return PortChoice::none;
        if (nResult != QDialog::Accepted)
            return PortChoice::cancelled;
        if (m_session.OpenPort(dlg.GetDevicePath(), dlg.GetBaudFlag()))
            return PortChoice::opened;
        ShowPortUnusableMessage(parent, dlg.GetPortName(), m_session.GetOpenError());
    }
}

void CRelmuthView::InsertColumns() {
    m_model->insertColumns();
    const int nUnit = fontMetrics().averageCharWidth();
    for (int i = 0; i < CBlockListModel::kColumnCount; ++i)
        header()->resizeSection(i, kColumnUnits[i] * nUnit);
}

void CRelmuthView::OnUpdate(CDocumentView*, const CDocUpdate& update) {
    // The list would select the next row in the removed one's place; after
    // a Delete no row is selected.
    const bool bSelectedGoes =
        (update.kind == CDocUpdate::removed || update.kind == CDocUpdate::moved) &&
        GetSelectedRow() == static_cast<int>(update.nIndex);
    m_model->applyUpdate(update);
    if (bSelectedGoes)
        selectionModel()->clearSelection();
    emit commandStateChanged();
}

int CRelmuthView::GetRowCount() const {
    return m_model->rowCount();
}

int CRelmuthView::GetSelectedRow() const {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel()->isSelected(current.siblingAtColumn(0)))
        return -1;
    return current.row();
}

void CRelmuthView::SelectRow(int nIndex) {
    const QModelIndex index = m_model->index(nIndex, 0);
    if (index.isValid())
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
}

void CRelmuthView::EnsureRowVisible(int nIndex) {
    const QModelIndex index = m_model->index(nIndex, 0);
    if (index.isValid())
        scrollTo(index);
}

void CRelmuthView::OpenRecvProgress(int nTotal) {
    if (m_pRecvDlg)
        return;
    m_pRecvDlg = std::make_unique<CRecvProgressDlg>(this, this);
    m_pRecvDlg->m_nTotal = nTotal;
    m_pRecvDlg->show();
    window()->setEnabled(false); // until the transfer ends; the dialog stays usable
}

void CRelmuthView::SetRecvProgress(int nPercent) {
    if (m_pRecvDlg)
        m_pRecvDlg->SetPercent(nPercent);
}

void CRelmuthView::CloseRecvProgress() {
    if (!m_pRecvDlg)
        return;
    window()->setEnabled(true);
    m_pRecvDlg.reset();
}

void CRelmuthView::ShowMessage(res::StringId nMessage) {
    QMessageBox box(QMessageBox::Warning, res::Text(res::AFX_IDS_APP_TITLE), res::Text(nMessage),
                    QMessageBox::Ok, window());
    box.exec();
}

void CRelmuthView::Beep() {
    QApplication::beep();
}

void CRelmuthView::SelectBlock(std::size_t nIndex) {
    SelectRow(static_cast<int>(nIndex));
    EnsureRowVisible(static_cast<int>(nIndex));
}

void CRelmuthView::OnLinkLost(const CCommError& error) {
    emit linkLost(QString::fromStdString(error.strReason));
}

void CRelmuthView::ShowWaveform(std::size_t nBlock, std::size_t nOffset,
                                const CByteWaveform& wave) {
    CWaveformDlg dlg(m_session, nBlock, nOffset, wave, window());
    dlg.exec();
    emit commandStateChanged();
}

bool CRelmuthView::OnCmdMsg(unsigned nId) {
    switch (nId) {
    case res::ID_SEND_PROGRAM:
        OnSendProgram();
        break;
    case res::ID_COMM_SETTINGS:
        OnCommSettings();
        break;
    default:
        if (!m_session.OnCmdMsg(nId))
            return false;
        break;
    }
    emit commandStateChanged();
    return true;
}

bool CRelmuthView::OnUpdateCmdUi(unsigned nId, bool& bEnable) const {
    if (nId == res::ID_COMM_SETTINGS) {
        bEnable = true;
        return true;
    }
    return m_session.OnUpdateCmdUi(nId, bEnable);
}

bool CRelmuthView::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == WM_COMM_RECEIVED) {
        m_session.OnPortReceived();
        emit commandStateChanged();
        return true;
    }
    if (type == WM_RECV_CANCEL) {
        m_session.CancelReceive();
        emit commandStateChanged();
        return true;
    }
    if (type == WM_COMM_LOST) {
        m_session.OnPortLost(static_cast<CCommLostEvent*>(event)->GetError());
        emit commandStateChanged(); // 送信 goes
        return true;
    }
    return QTreeView::event(event);
}

void CRelmuthView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    emit commandStateChanged();
}

void CRelmuthView::selectionChanged(const QItemSelection& selected,
                                    const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    emit commandStateChanged();
}

void CRelmuthView::OnSendProgram() {
    if (m_session.StartSendLoader() <= 0)
        return;
    CSendProgressDlg dlg(window());
    dlg.m_pSession = &m_session;
    dlg.exec();
}

void CRelmuthView::OnCommSettings() {
    CCommSettingsDlg first(window());
    if (first.exec() != QDialog::Accepted)
        return; // the port stays as it was
    // The chosen device may be the one open now: it is let go first.
    if (!m_session.OpenPort(first.GetDevicePath(), first.GetBaudFlag())) {
        ShowPortUnusableMessage(window(), first.GetPortName(), m_session.GetOpenError());
        if (RunCommSettingsLoop(window()) != PortChoice::opened) {
            // No port now: said where a lost line is said, until one opens.
            emit linkLost(QString::fromStdString(m_session.GetOpenError().strReason));
            return;
        }
    }
    if (!HasColumns())
        InsertColumns();
    m_session.InstallReceiver();
    emit portOpened();
}
