// SPDX-License-Identifier: GPL-3.0-or-later
// The report list view of the Qt backend: a tree view over a table model of our own that keeps
// every row as the program wrote it. The view asks only for the cells it paints, so writing a
// cell off screen costs a string and nothing more, and a moved row takes its cells along
// instead of being written anew: the games list reorders thousands of rows as clocks run.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavlora {

class ReportModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Structure, announced to the view.
    void AddColumn(const std::string& title);
    void AppendRow();
    void RemoveRow(int row);
    // Unannounced: the caller tells the view what it shows differently. Rows and columns
    // outside the table are ignored.
    void MoveRow(int from, int to);
    bool SetText(int row, int column, const std::string& text);  // true when it changed
    bool SetColour(int row, int column, int32_t rgb);            // true when it changed
    void SetRef(int row, void* ref);
    // Tells the view that rows first .. last show something else now.
    void Repaint(int first, int last);

    // Outside the table: "", -1 (the default colour) and nullptr.
    const std::string& Text(int row, int column) const;
    int32_t Colour(int row, int column) const;
    void* Ref(int row) const;

private:
    struct Cell {
        std::string Text;  // UTF-8, turned into a QString only when painted
        int32_t Colour = -1;
    };
    struct Row {
        std::vector<Cell> Cells;  // one per column
        void* Ref = nullptr;
    };

    const Cell* CellAt(int row, int column) const;
    Cell* CellAt(int row, int column);

    std::vector<std::string> titles_;
    // Rows behind pointers, so a move shifts pointers rather than cells.
    std::vector<std::unique_ptr<Row>> rows_;
};

class ReportView final : public QTreeView {
public:
    explicit ReportView(QWidget* parent);

    // Called when the user changes the selection; the program's own changes stay silent.
    std::function<void()> OnSelectionChanged;

    ReportModel& Model() { return *model_; }
    const ReportModel& Model() const { return *model_; }
    void AddColumn(const std::string& title, int width);
    // The selection stays with the row it is on, or goes with it, without a word.
    void AppendRow();
    void RemoveRow(int row);
    // The rows between shift by one.
    void MoveRow(int from, int to);
    void SetText(int row, int column, const std::string& text);
    void SetColour(int row, int column, int32_t rgb);

    // -1 for none.
    int SelectedRow() const;
    void SelectRow(int row);

private:
    // Repaints the rows first .. last where the view shows any of them.
    void Changed(int first, int last);

    ReportModel* model_;      // a child, so it outlives the view's own clean-up
    bool selecting_ = false;  // the program is changing the selection
};

}  // namespace tavlora
