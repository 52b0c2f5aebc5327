// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/BlockListModel.h"

#include "res/UiText.h"

namespace {

constexpr res::StringId kColumnTitles[CBlockListModel::kColumnCount] = {
    res::IDS_COLUMN_BAUD, res::IDS_COLUMN_BYTES, res::IDS_COLUMN_TYPE, res::IDS_COLUMN_FILENAME};

} // namespace

int CBlockListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CBlockListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_bColumns ? 0 : kColumnCount;
}

QVariant CBlockListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.column() >= columnCount())
        return {};
    return m_rows.at(static_cast<std::size_t>(index.row()))[index.column()];
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

void CBlockListModel::insertColumns() {
    if (m_bColumns)
        return;
    beginInsertColumns({}, 0, kColumnCount - 1);
    m_bColumns = true;
    endInsertColumns();
}

CBlockListModel::Row CBlockListModel::toRow(const CRowTexts& texts) {
    return {QString::fromStdString(texts.strBaud), QString::fromStdString(texts.strBytes),
            QString::fromStdString(texts.strType), QString::fromStdString(texts.strName)};
}

void CBlockListModel::insertRow(int nIndex, const CRowTexts& texts) {
    const int nCount = rowCount();
    if (nIndex < 0 || nIndex > nCount)
        nIndex = nCount;
    beginInsertRows({}, nIndex, nIndex);
    m_rows.insert(m_rows.begin() + nIndex, toRow(texts));
    endInsertRows();
}

void CBlockListModel::appendRows(std::vector<CRowTexts> rows) {
    if (rows.empty())
        return;
    const int nFirst = rowCount();
    beginInsertRows({}, nFirst, nFirst + static_cast<int>(rows.size()) - 1);
    m_rows.reserve(m_rows.size() + rows.size());
    for (const CRowTexts& texts : rows)
        m_rows.push_back(toRow(texts));
    endInsertRows();
}

void CBlockListModel::deleteRow(int nIndex) {
    if (nIndex < 0 || nIndex >= rowCount())
        return;
    beginRemoveRows({}, nIndex, nIndex);
    m_rows.erase(m_rows.begin() + nIndex);
    endRemoveRows();
}

void CBlockListModel::deleteAllRows() {
    // A removal, not a model reset: a reset would also forget the columns'
    // widths in the header.
    if (m_rows.empty())
        return;
    beginRemoveRows({}, 0, rowCount() - 1);
    m_rows.clear();
    m_rows.shrink_to_fit();
    endRemoveRows();
}
