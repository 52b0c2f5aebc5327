// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the block list as a Qt model: four texts per row, the columns
// only once they have been inserted. Row i stands for block i of the tape;
// the view's row operations keep it so.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <vector>

#include "view/BlockRows.h"

class CBlockListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    static constexpr int kColumnCount = 4;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // "Baud", "Bytes", "Type", "FileName"; once.
    void insertColumns();
    bool hasColumns() const { return m_bColumns; }

    void insertRow(int nIndex, const CRowTexts& texts);
    void appendRows(std::vector<CRowTexts> rows);
    void deleteRow(int nIndex);
    void deleteAllRows();

  private:
    using Row = std::array<QString, kColumnCount>;
    static Row toRow(const CRowTexts& texts);

    std::vector<Row> m_rows;
    bool m_bColumns = false;
};
