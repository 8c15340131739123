// The source list as the list view sees it: six columns over CSourceList. The
// model only adapts; sorting uses the list's own comparison and the rows' texts
// come from the list.
#pragma once

#include <QAbstractTableModel>

#include "sources/SourceList.h"

namespace wavorax::ui {

class CSourceTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit CSourceTableModel(CSourceList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Rows appended to the list since the view last heard of them.
  void RowsAppended();
  // A row's Status text changed.
  void StatusChanged(int row);
  // Removal and sorting change the rows wholesale.
  void BeginReset() { beginResetModel(); }
  void EndReset();
  void Sort(int column);

  static int ColumnWidth(int column);
  static Qt::Alignment ColumnAlignment(int column);

 private:
  CSourceList& list_;
  int shownRows_ = 0;
};

}  // namespace wavorax::ui
