// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the block list as a Qt model: four texts per row, the columns
// only once they have been inserted. Row i is block i of the tape, read from
// the document when shown; the document's updates become the model's row
// signals. The mark on a row (its block's damage, checks and reading) is
// worked out once and kept until the document says the block changed.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <optional>
#include <vector>

#include "session/BlockRows.h"
#include "session/StatusText.h"

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
    const CRowQuality& rowQuality(int nRow) const;

    const CRelmuthDoc& m_doc;
    int m_nRows = 0; // the rows the views have been told of
    bool m_bColumns = false;
    mutable std::vector<std::optional<CRowQuality>> m_quality; // row for row, once asked
};
