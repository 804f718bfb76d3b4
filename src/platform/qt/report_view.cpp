// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/report_view.h"

#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <algorithm>

namespace tavlora {

namespace {

// The view's normal text colour, as the window services name it.
constexpr int32_t NormalColour = -1;

const std::string NoText;

bool IsIndex(int value, size_t count) {
    return value >= 0 && static_cast<size_t>(value) < count;
}

// Marks the selection changes that follow as the program's own, which raise no event.
class ProgramSelecting {
public:
    explicit ProgramSelecting(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~ProgramSelecting() { flag_ = was_; }
    ProgramSelecting(const ProgramSelecting&) = delete;
    ProgramSelecting& operator=(const ProgramSelecting&) = delete;

private:
    bool& flag_;
    const bool was_;
};

}  // namespace

// ReportModel

int ReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
    const Cell* cell = CellAt(index.row(), index.column());
    if (cell == nullptr) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromUtf8(cell->Text);
    }
    if (role == Qt::ForegroundRole && cell->Colour != NormalColour) {
        return QBrush(
            QColor((cell->Colour >> 16) & 0xFF, (cell->Colour >> 8) & 0xFF, cell->Colour & 0xFF));
    }
    return {};
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole ||
        !IsIndex(section, titles_.size())) {
        return {};
    }
    return QString::fromUtf8(titles_[static_cast<size_t>(section)]);
}

void ReportModel::AddColumn(const std::string& title) {
    const int column = static_cast<int>(titles_.size());
    beginInsertColumns({}, column, column);
    titles_.push_back(title);
    for (const auto& row : rows_) {
        row->Cells.emplace_back();
    }
    endInsertColumns();
}

void ReportModel::AppendRow() {
    const int row = static_cast<int>(rows_.size());
    beginInsertRows({}, row, row);
    auto added = std::make_unique<Row>();
    added->Cells.resize(titles_.size());
    rows_.push_back(std::move(added));
    endInsertRows();
}

void ReportModel::RemoveRow(int row) {
    if (!IsIndex(row, rows_.size())) {
        return;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void ReportModel::MoveRow(int from, int to) {
    if (!IsIndex(from, rows_.size()) || !IsIndex(to, rows_.size())) {
        return;
    }
    const auto at = [this](int row) { return rows_.begin() + row; };
    if (from < to) {
        std::rotate(at(from), at(from + 1), at(to + 1));
    } else if (to < from) {
        std::rotate(at(to), at(from), at(from + 1));
    }
}

bool ReportModel::SetText(int row, int column, const std::string& text) {
    Cell* cell = CellAt(row, column);
    if (cell == nullptr || cell->Text == text) {
        return false;
    }
    cell->Text = text;
    return true;
}

bool ReportModel::SetColour(int row, int column, int32_t rgb) {
    Cell* cell = CellAt(row, column);
    if (cell == nullptr || cell->Colour == rgb) {
        return false;
    }
    cell->Colour = rgb;
    return true;
}

void ReportModel::SetRef(int row, void* ref) {
    if (IsIndex(row, rows_.size())) {
        rows_[static_cast<size_t>(row)]->Ref = ref;
    }
}

const std::string& ReportModel::Text(int row, int column) const {
    const Cell* cell = CellAt(row, column);
    return cell != nullptr ? cell->Text : NoText;
}

int32_t ReportModel::Colour(int row, int column) const {
    const Cell* cell = CellAt(row, column);
    return cell != nullptr ? cell->Colour : NormalColour;
}

void* ReportModel::Ref(int row) const {
    return IsIndex(row, rows_.size()) ? rows_[static_cast<size_t>(row)]->Ref : nullptr;
}

void ReportModel::Repaint(int first, int last) {
    emit dataChanged(index(first, 0), index(last, columnCount() - 1));
}

const ReportModel::Cell* ReportModel::CellAt(int row, int column) const {
    if (!IsIndex(row, rows_.size()) || !IsIndex(column, titles_.size())) {
        return nullptr;
    }
    return &rows_[static_cast<size_t>(row)]->Cells[static_cast<size_t>(column)];
}

ReportModel::Cell* ReportModel::CellAt(int row, int column) {
    return const_cast<Cell*>(std::as_const(*this).CellAt(row, column));
}

// ReportView

ReportView::ReportView(QWidget* parent) : QTreeView(parent), model_(new ReportModel(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Changed() takes the top row from the scroll bar, which scrolling by rows makes exact.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!selecting_ && OnSelectionChanged) {
            OnSelectionChanged();
        }
    });
}

void ReportView::AddColumn(const std::string& title, int width) {
    model_->AddColumn(title);
    setColumnWidth(model_->columnCount() - 1, width);
}

void ReportView::AppendRow() {
    const ProgramSelecting guard(selecting_);
    model_->AppendRow();
}

void ReportView::RemoveRow(int row) {
    // The selection follows its row, or goes with it, without a word to the program.
    const ProgramSelecting guard(selecting_);
    model_->RemoveRow(row);
}

void ReportView::MoveRow(int from, int to) {
    const int selected = SelectedRow();
    model_->MoveRow(from, to);
    if (selected >= 0) {
        int moved = selected;
        if (selected == from) {
            moved = to;
        } else if (from < selected && selected <= to) {
            moved = selected - 1;
        } else if (to <= selected && selected < from) {
            moved = selected + 1;
        }
        if (moved != selected) {
            SelectRow(moved);
        }
    }
    Changed(std::min(from, to), std::max(from, to));
}

void ReportView::SetText(int row, int column, const std::string& text) {
    if (model_->SetText(row, column, text)) {
        Changed(row, row);
    }
}

void ReportView::SetColour(int row, int column, int32_t rgb) {
    if (model_->SetColour(row, column, rgb)) {
        Changed(row, row);
    }
}

int ReportView::SelectedRow() const {
    if (!selectionModel()->hasSelection()) {
        return -1;
    }
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void ReportView::SelectRow(int row) {
    const ProgramSelecting guard(selecting_);
    selectionModel()->clear();
    if (IsIndex(row, static_cast<size_t>(model_->rowCount()))) {
        setCurrentIndex(model_->index(row, 0));
    }
}

void ReportView::Changed(int first, int last) {
    if (!isVisible()) {
        return;  // painted afresh when shown
    }
    // A row is at least a line of the font high, so this many rows from the top one cover
    // the viewport; a row or two too many costs nothing.
    const int top = verticalScrollBar()->value();
    const int shown = viewport()->height() / std::max(1, fontMetrics().height()) + 1;
    const int from = std::max(first, top);
    const int to = std::min({last, top + shown, model_->rowCount() - 1});
    if (from <= to) {
        model_->Repaint(from, to);
    }
}

}  // namespace tavlora
