// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/BlockPane.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStandardItemModel>
#include <QTextBlock>
#include <QVBoxLayout>

#include <cstdio>

#include "inspect/HexDump.h"
#include "res/UiText.h"

namespace {

using inspect::EBlockView;
using inspect::SBlockDamage;

// The combo box's entries, in this order.
constexpr EBlockView kViews[] = {EBlockView::basic, EBlockView::machine, EBlockView::hex};
constexpr res::StringId kViewNames[] = {res::IDS_PANE_VIEW_BASIC, res::IDS_PANE_VIEW_ASM,
                                        res::IDS_PANE_VIEW_HEX};

int ViewEntry(EBlockView view) {
    for (int i = 0; i < 3; ++i) {
        if (kViews[i] == view)
            return i;
    }
    return 2;
}

QString Offset(std::size_t nOffset) {
    char text[32];
    std::snprintf(text, sizeof text, "%04zXH", nOffset);
    return QString::fromLatin1(text);
}

QString DamageNote(const SBlockDamage& damage) {
    res::StringId nId = res::IDS_PANE_BROKEN_LINK;
    switch (damage.kind) {
    case SBlockDamage::EKind::brokenLink:
        nId = res::IDS_PANE_BROKEN_LINK;
        break;
    case SBlockDamage::EKind::programCutOff:
        nId = res::IDS_PANE_PROGRAM_CUT;
        break;
    case SBlockDamage::EKind::badCheck:
        nId = res::IDS_PANE_BAD_CHECK;
        break;
    case SBlockDamage::EKind::recordsCutOff:
        nId = res::IDS_PANE_RECORDS_CUT;
        break;
    }
    return res::Text(nId).arg(Offset(damage.offset));
}

// A fixed-width font whose half-width katakana are as wide as ASCII.
QFont PaneFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({QStringLiteral("IPAGothic"), font.family()});
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace

CBlockPane::CBlockPane(CRelmuthDoc& doc, const std::vector<CDamagedByte>& damage, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_damage(damage) {
    m_viewBox = new QComboBox(this);
    for (res::StringId nId : kViewNames)
        m_viewBox->addItem(res::Text(nId));
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    m_note->hide();
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(PaneFont());

    auto* top = new QHBoxLayout;
    top->addWidget(m_viewBox);
    top->addWidget(m_note, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(top);
    layout->addWidget(m_text, 1);

    connect(m_viewBox, &QComboBox::activated, this,
            [this](int nEntry) { SetView(kViews[nEntry]); });
    m_doc.AddView(this);
    Refresh();
}

CBlockPane::~CBlockPane() {
    m_doc.RemoveView(this);
}

void CBlockPane::Follow(QAbstractItemView* pList, std::function<int()> selectedRow) {
    m_selectedRow = std::move(selectedRow);
    auto follow = [this] { ShowBlock(m_selectedRow()); };
    connect(pList->selectionModel(), &QItemSelectionModel::currentChanged, this, follow);
    connect(pList->selectionModel(), &QItemSelectionModel::selectionChanged, this, follow);
    ShowBlock(m_selectedRow());
}

void CBlockPane::ShowBlock(int nIndex) {
    if (nIndex != m_nIndex || nIndex < 0) {
        m_nIndex = nIndex;
        if (nIndex >= 0 && static_cast<std::size_t>(nIndex) < m_doc.m_blocks.size())
            m_view =
                inspect::SuggestedView(m_doc.m_blocks[static_cast<std::size_t>(nIndex)].m_data);
    }
    Refresh();
}

void CBlockPane::OnUpdate(CDocumentView*, const CDocUpdate&) {
    // The rows may have changed under the same index: show it afresh.
    const int nIndex = m_selectedRow ? m_selectedRow() : m_nIndex;
    m_nIndex = -1;
    ShowBlock(nIndex);
}

void CBlockPane::SetView(EBlockView view) {
    m_view = view;
    Refresh();
}

QString CBlockPane::GetText() const {
    return m_text->toPlainText();
}

QString CBlockPane::GetNote() const {
    return m_note->isHidden() ? QString() : m_note->text();
}

int CBlockPane::GetHighlightCount() const {
    return static_cast<int>(m_text->extraSelections().size()) / 2;
}

void CBlockPane::Refresh() {
    const bool bHas = m_nIndex >= 0 && static_cast<std::size_t>(m_nIndex) < m_doc.m_blocks.size();
    auto* model = qobject_cast<QStandardItemModel*>(m_viewBox->model());
    m_viewBox->setEnabled(bHas);
    m_text->setExtraSelections({});
    if (!bHas) {
        m_text->clear();
        m_note->hide();
        return;
    }
    const ByteArray& block = m_doc.m_blocks[static_cast<std::size_t>(m_nIndex)].m_data;
    if (!inspect::ViewFits(m_view, block))
        m_view = inspect::SuggestedView(block);
    for (int i = 0; i < 3; ++i) {
        if (model != nullptr)
            model->item(i)->setEnabled(inspect::ViewFits(kViews[i], block));
    }
    m_viewBox->setCurrentIndex(ViewEntry(m_view));

    const inspect::SBlockText shown = inspect::ShowBlock(block, m_view);
    m_text->setPlainText(QString::fromUtf8(shown.text));
    QStringList notes;
    for (const SBlockDamage& damage : shown.damage)
        notes << DamageNote(damage);

    // The tape's marks go with their blocks through every edit (and come
    // back from a KXM image); the decoder's list counts block by block as
    // the recording was opened, so once the tape is edited its bytes may
    // belong to another block.
    std::vector<std::size_t> damaged;
    if (m_view == EBlockView::hex) {
        for (const CDamageMark& mark :
             MarksOfBlock(m_doc.m_damageMarks, static_cast<std::size_t>(m_nIndex))) {
            for (std::size_t k = 0; k < mark.nCount; ++k)
                damaged.push_back(mark.nOffset + k);
        }
        if (!m_doc.IsModified()) {
            for (const CDamagedByte& mark : m_damage) {
                if (mark.nBlock == static_cast<std::size_t>(m_nIndex))
                    damaged.push_back(mark.nOffset);
            }
        }
        std::erase_if(damaged, [&](std::size_t k) { return k >= block.size(); });
        std::sort(damaged.begin(), damaged.end());
        damaged.erase(std::unique(damaged.begin(), damaged.end()), damaged.end());
    }
    if (!damaged.empty()) {
        Highlight(damaged);
        notes << res::Text(res::IDS_PANE_RECORDING_DAMAGE).arg(damaged.size());
    }
    m_note->setText(notes.join(QLatin1Char('\n')));
    m_note->setVisible(!notes.isEmpty());
}

void CBlockPane::Highlight(const std::vector<std::size_t>& offsets) {
    QTextCharFormat format;
    format.setBackground(QColor(255, 176, 176));
    format.setForeground(Qt::black);
    QList<QTextEdit::ExtraSelection> marks;
    QTextDocument* text = m_text->document();
    for (std::size_t offset : offsets) {
        const QTextBlock line =
            text->findBlockByNumber(static_cast<int>(offset / inspect::kDumpBytesPerLine));
        if (!line.isValid())
            continue;
        // The offset field is four digits, or more in a block past 64 KB.
        const int hexStart = static_cast<int>(line.text().indexOf(QStringLiteral(" : "))) + 3;
        const int textStart =
            static_cast<int>(line.text().indexOf(QStringLiteral(" : "), hexStart)) + 3;
        const int column = static_cast<int>(offset % inspect::kDumpBytesPerLine);
        const int starts[] = {hexStart + 3 * column, textStart + column};
        const int lengths[] = {2, 1};
        for (int k = 0; k < 2; ++k) {
            QTextEdit::ExtraSelection mark;
            mark.format = format;
            mark.cursor = QTextCursor(text);
            mark.cursor.setPosition(line.position() + starts[k]);
            mark.cursor.setPosition(std::min(line.position() + starts[k] + lengths[k],
                                             line.position() + line.length() - 1),
                                    QTextCursor::KeepAnchor);
            marks << mark;
        }
    }
    m_text->setExtraSelections(marks);
}
