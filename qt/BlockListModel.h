// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the block list as a Qt model: four texts per row, the columns
// only once they have been inserted; a row whose block has bytes marked as
// damaged carries a warning mark in its first column, its line as the tip. Row i is block i of the
// tape, read from the document when shown; the document's updates become the model's row signals.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include "session/BlockRows.h"

class CBlockListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    static constexpr int kColumnCount = 4;

    explicit CBlockListModel(const CRelmuthDoc& doc, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // "Baud", "Bytes", "Type", "FileName"; once.
    void insertColumns();
    bool hasColumns() const { return m_bColumns; }

    // The document has changed as the update says.
    void applyUpdate(const CDocUpdate& update);
    // A row for every block again, as after a reset.
    void resync();

  private:
    void insertRows(int nFirst, int nCount);
    void removeRows(int nFirst, int nCount);

    const CRelmuthDoc& m_doc;
    int m_nRows = 0; // the rows the views have been told of
    bool m_bColumns = false;
};
