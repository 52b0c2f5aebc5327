// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/BlockListModel.h"

#include <QApplication>
#include <QStyle>

#include "res/UiText.h"
#include "session/StatusText.h"

namespace {

constexpr res::StringId kColumnTitles[CBlockListModel::kColumnCount] = {
    res::IDS_COLUMN_BAUD, res::IDS_COLUMN_BYTES, res::IDS_COLUMN_TYPE, res::IDS_COLUMN_FILENAME};

} // namespace

CBlockListModel::CBlockListModel(const CRelmuthDoc& doc, QObject* parent)
    : QAbstractTableModel(parent), m_doc(doc) {}

int CBlockListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_nRows;
}

int CBlockListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_bColumns ? 0 : kColumnCount;
}

QVariant CBlockListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= columnCount() ||
        static_cast<std::size_t>(index.row()) >= m_doc.m_blocks.size())
        return {};
    if (index.column() == 0 && (role == Qt::DecorationRole || role == Qt::ToolTipRole)) {
        // A block with damaged bytes, a failed check or a reading only just
        // made carries a mark on its row.
        const CRowQuality& quality = rowQuality(index.row());
        if (quality.mark == RowMark::none)
            return {};
        if (role == Qt::ToolTipRole)
            return QString::fromStdString(quality.strTip);
        return QApplication::style()->standardIcon(quality.mark == RowMark::weak
                                                       ? QStyle::SP_MessageBoxInformation
                                                       : QStyle::SP_MessageBoxWarning);
    }
    if (role != Qt::DisplayRole)
        return {};
    const CRowTexts texts =
        GetRowTexts(m_doc, m_doc.m_blocks[static_cast<std::size_t>(index.row())]);
    const std::string* const columns[kColumnCount] = {&texts.strBaud, &texts.strBytes,
                                                      &texts.strType, &texts.strName};
    return QString::fromStdString(*columns[index.column()]);
}

QVariant CBlockListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return res::Text(kColumnTitles[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

const CRowQuality& CBlockListModel::rowQuality(int nRow) const {
    const auto n = static_cast<std::size_t>(nRow);
    if (m_quality.size() < m_doc.m_blocks.size())
        m_quality.resize(m_doc.m_blocks.size());
    if (!m_quality[n])
        m_quality[n] = RowQuality(m_doc, n);
    return *m_quality[n];
}

void CBlockListModel::insertColumns() {
    if (m_bColumns)
        return;
    beginInsertColumns({}, 0, kColumnCount - 1);
    m_bColumns = true;
    endInsertColumns();
}

void CBlockListModel::insertRows(int nFirst, int nCount) {
    if (nCount <= 0)
        return;
    beginInsertRows({}, nFirst, nFirst + nCount - 1);
    m_nRows += nCount;
    if (static_cast<std::size_t>(nFirst) <= m_quality.size())
        m_quality.insert(m_quality.begin() + nFirst, static_cast<std::size_t>(nCount),
                         std::nullopt);
    else
        m_quality.clear();
    endInsertRows();
}

void CBlockListModel::removeRows(int nFirst, int nCount) {
    if (nCount <= 0)
        return;
    beginRemoveRows({}, nFirst, nFirst + nCount - 1);
    m_nRows -= nCount;
    if (static_cast<std::size_t>(nFirst + nCount) <= m_quality.size())
        m_quality.erase(m_quality.begin() + nFirst, m_quality.begin() + nFirst + nCount);
    else
        m_quality.clear();
    endRemoveRows();
}

void CBlockListModel::applyUpdate(const CDocUpdate& update) {
    const int nIndex = static_cast<int>(update.nIndex);
    switch (update.kind) {
    case CDocUpdate::inserted:
        insertRows(nIndex, 1);
        break;
    case CDocUpdate::removed:
        removeRows(nIndex, 1);
        break;
    case CDocUpdate::moved:
        // As a removal and an insertion, as the list has always shown a
        // move: the selection does not travel with the row.
        removeRows(nIndex, 1);
        insertRows(static_cast<int>(update.nTo), 1);
        break;
    case CDocUpdate::replaced:
        if (update.nIndex < m_quality.size())
            m_quality[update.nIndex].reset();
        if (columnCount() > 0)
            emit dataChanged(index(nIndex, 0), index(nIndex, columnCount() - 1));
        break;
    case CDocUpdate::reset:
        resync();
        break;
    }
}

void CBlockListModel::resync() {
    // A removal, not a model reset: a reset would also forget the columns'
    // widths in the header.
    removeRows(0, m_nRows);
    insertRows(0, static_cast<int>(m_doc.m_blocks.size()));
}
