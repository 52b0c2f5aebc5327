// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/BlockPane.h"

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

#include "res/UiText.h"

namespace {

using inspect::EBlockView;

// A fixed-width font whose half-width katakana are as wide as ASCII.
QFont PaneFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({QStringLiteral("IPAGothic"), font.family()});
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace

CBlockPane::CBlockPane(CRelmuthDoc& doc, const std::vector<CDamagedByte>& damage, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_model(doc, damage) {
    m_viewBox = new QComboBox(this);
    for (const EBlockView view : kPaneViews)
        m_viewBox->addItem(res::Text(PaneViewName(view)));
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
            [this](int nEntry) { SetView(kPaneViews[nEntry]); });
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
    m_model.ShowBlock(nIndex);
    Refresh();
}

void CBlockPane::OnUpdate(CDocumentView*, const CDocUpdate&) {
    m_model.ShowAfresh(m_selectedRow ? m_selectedRow() : m_model.GetIndex());
    Refresh();
}

void CBlockPane::SetView(EBlockView view) {
    m_model.SetView(view);
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
    const CBlockPaneContent content = m_model.GetContent();
    auto* model = qobject_cast<QStandardItemModel*>(m_viewBox->model());
    m_viewBox->setEnabled(content.bBlock);
    m_text->setExtraSelections({});
    if (!content.bBlock) {
        m_text->clear();
        m_note->hide();
        return;
    }
    for (std::size_t i = 0; i < kPaneViewCount; ++i) {
        if (model != nullptr)
            model->item(static_cast<int>(i))->setEnabled(content.fits[i]);
        if (kPaneViews[i] == content.view)
            m_viewBox->setCurrentIndex(static_cast<int>(i));
    }
    m_text->setPlainText(QString::fromUtf8(content.strText));
    Highlight(content.spans);
    QStringList notes;
    for (const std::string& note : content.notes)
        notes << QString::fromStdString(note);
    m_note->setText(notes.join(QLatin1Char('\n')));
    m_note->setVisible(!notes.isEmpty());
}

void CBlockPane::Highlight(const std::vector<CPaneSpan>& spans) {
    QTextCharFormat format;
    format.setBackground(QColor(255, 176, 176));
    format.setForeground(Qt::black);
    QList<QTextEdit::ExtraSelection> marks;
    QTextDocument* text = m_text->document();
    for (const CPaneSpan& span : spans) {
        const QTextBlock line = text->findBlockByNumber(static_cast<int>(span.nLine));
        if (!line.isValid())
            continue;
        QTextEdit::ExtraSelection mark;
        mark.format = format;
        mark.cursor = QTextCursor(text);
        mark.cursor.setPosition(line.position() + static_cast<int>(span.nColumn));
        mark.cursor.setPosition(line.position() + static_cast<int>(span.nColumn + span.nLength),
                                QTextCursor::KeepAnchor);
        marks << mark;
    }
    m_text->setExtraSelections(marks);
}
