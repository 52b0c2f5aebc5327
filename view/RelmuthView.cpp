// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/RelmuthView.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMessageBox>

#include "loader/LoaderText.h"
#include "res/UiText.h"
#include "serial/CommSettingsDlg.h"
#include "serial/PortNames.h"
#include "view/BlockListModel.h"
#include "view/RecvProgressDlg.h"
#include "view/SendLoader.h"
#include "view/SendProgressDlg.h"
#include "view/ViewEvents.h"

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
    : QTreeView(parent), m_doc(doc), m_model(new CBlockListModel(doc, this)), m_receive(doc, *this),
      m_edit(doc, *this, m_clipboard, m_receive) {
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The port's threads only post; the events are handled here, in order.
    m_commPort.SetReceivedCallback(
        [this] { QCoreApplication::postEvent(this, new QEvent(WM_COMM_RECEIVED)); });
    m_commPort.SetLinkLostCallback([this](const CCommError& error) {
        QCoreApplication::postEvent(this, new CCommLostEvent(error));
    });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        m_clipboard.OnChanged();
        emit commandStateChanged(); // Paste may come or go
    });
    m_doc.AddView(this);
}

CRelmuthView::~CRelmuthView() {
    m_doc.RemoveView(this);
    // The port's threads end before anything they post to goes.
    m_commPort.Close();
    m_pRecvDlg.reset();
}

void CRelmuthView::OnDestroy() {
    m_commPort.Close();
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
        if (!OpenStartPort() && !RunCommSettingsLoop(nullptr)) {
            emit closeRequested();
            return;
        }
        InsertColumns();
        emit portOpened();
    }
    m_receive.InstallReceiver();
    emit commandStateChanged();
}

bool CRelmuthView::OpenStartPort() {
    if (!m_startPort)
        return false;
    const CStartPort port = *std::exchange(m_startPort, std::nullopt);
    const CCommOpenArgs frame = CommOpenArgsFromDialog(kDefaultPortIndex, kDefaultBaudIndex);
    if (m_commPort.Open(PortDevicePathFromName(port.strName), port.nBaudFlag, frame.nDataBits,
                        frame.nStopBits, frame.nParity, frame.bXonXoff))
        return true;
    ShowPortUnusableMessage(isVisible() ? window() : nullptr, port.strName,
                            m_commPort.GetOpenError());
    return false;
}

bool CRelmuthView::RunCommSettingsLoop(QWidget* parent) {
    for (;;) {
        CCommSettingsDlg dlg(parent); // a new one each time: "COM1" and "9600" again
        if (dlg.exec() != QDialog::Accepted)
            return false;
        if (dlg.OpenPort(m_commPort))
            return true;
        ShowPortUnusableMessage(parent, dlg.GetPortName(), m_commPort.GetOpenError());
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

bool CRelmuthView::OnCmdMsg(unsigned nId) {
    switch (nId) {
    case res::ID_SEND_PROGRAM:
        OnSendProgram();
        break;
    case res::ID_COMM_SETTINGS:
        OnCommSettings();
        break;
    case res::ID_EDIT_CUT:
        m_edit.OnEditCut();
        break;
    case res::ID_EDIT_COPY:
        m_edit.OnEditCopy();
        break;
    case res::ID_EDIT_PASTE:
        m_edit.OnEditPaste();
        break;
    case res::ID_EDIT_CLEAR:
        m_edit.OnEditClear();
        break;
    case res::ID_MOVE_UP:
        m_edit.OnMoveUp();
        break;
    case res::ID_MOVE_DOWN:
        m_edit.OnMoveDown();
        break;
    default:
        return false;
    }
    emit commandStateChanged();
    return true;
}

bool CRelmuthView::OnUpdateCmdUi(unsigned nId, bool& bEnable) const {
    switch (nId) {
    case res::ID_SEND_PROGRAM:
        // Always, while there is a port to send on.
        bEnable = m_commPort.IsOpen();
        return true;
    case res::ID_COMM_SETTINGS:
        bEnable = true;
        return true;
    case res::ID_EDIT_CUT:
    case res::ID_EDIT_COPY:
    case res::ID_EDIT_CLEAR:
        bEnable = m_edit.CanCutCopyDelete();
        return true;
    case res::ID_EDIT_PASTE:
        bEnable = m_edit.CanPaste();
        return true;
    case res::ID_MOVE_UP:
        bEnable = m_edit.CanMoveUp();
        return true;
    case res::ID_MOVE_DOWN:
        bEnable = m_edit.CanMoveDown();
        return true;
    default:
        return false;
    }
}

bool CRelmuthView::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == WM_COMM_RECEIVED) {
        OnCommReceived();
        return true;
    }
    if (type == WM_RECV_CANCEL) {
        m_receive.CancelReceive();
        emit commandStateChanged();
        return true;
    }
    if (type == WM_COMM_LOST) {
        const CCommError& error = static_cast<CCommLostEvent*>(event)->GetError();
        emit linkLost(QString::fromStdString(error.strReason));
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

void CRelmuthView::HoldReceiving(bool bHold) {
    m_bReceivingHeld = bHold;
    if (!bHold && std::exchange(m_bReceivedWhileHeld, false))
        QCoreApplication::postEvent(this, new QEvent(WM_COMM_RECEIVED));
}

void CRelmuthView::OnCommReceived() {
    if (m_bReceivingHeld) {
        m_bReceivedWhileHeld = true;
        return;
    }
    // A message box shown while these bytes are handled runs its own event
    // loop, which may come back here with later bytes: the receive context
    // queues their lines behind the ones under way, so each local array is
    // used up before anything else can run.
    std::vector<std::uint8_t> bytes;
    m_commPort.TakeReceived(bytes);
    if (bytes.empty())
        return;
    m_receive.OnSerialBytes(bytes);
    emit commandStateChanged();
}

void CRelmuthView::OnSendProgram() {
    const int nTotal = SendLoader(m_commPort, GetLoaderResource());
    if (nTotal <= 0)
        return;
    CSendProgressDlg dlg(window());
    dlg.m_pPort = &m_commPort;
    dlg.m_nTotal = nTotal;
    dlg.exec();
}

void CRelmuthView::OnCommSettings() {
    CCommSettingsDlg first(window());
    if (first.exec() != QDialog::Accepted)
        return; // the port stays as it was
    // The chosen device may be the one open now: it is let go first.
    m_commPort.Close();
    if (!first.OpenPort(m_commPort)) {
        ShowPortUnusableMessage(window(), first.GetPortName(), m_commPort.GetOpenError());
        if (!RunCommSettingsLoop(window())) {
            // No port now: said where a lost line is said, until one opens.
            emit linkLost(QString::fromStdString(m_commPort.GetOpenError().strReason));
            return;
        }
    }
    if (!HasColumns())
        InsertColumns();
    m_receive.InstallReceiver();
    emit portOpened();
}
