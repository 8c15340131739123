#include "ui/main/SourceTableModel.h"

#include <QCoreApplication>

#include "app/Translations.h"

namespace wavorax::ui {

namespace {
const char* const kTitles[kColumnCount] = {
    QT_TRANSLATE_NOOP("Table", "File"),     QT_TRANSLATE_NOOP("Table", "Length"),
    QT_TRANSLATE_NOOP("Table", "Bit Rate"), QT_TRANSLATE_NOOP("Table", "Freq."),
    QT_TRANSLATE_NOOP("Table", "Channels"), QT_TRANSLATE_NOOP("Table", "Status")};
const int kWidths[kColumnCount] = {152, 55, 70, 70, 60, 145};
}  // namespace

CSourceTableModel::CSourceTableModel(CSourceList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), shownRows_(list.RowCount()) {}

int CSourceTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownRows_;
}

int CSourceTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

int CSourceTableModel::ColumnWidth(int column) {
  return column >= 0 && column < kColumnCount ? kWidths[column] : 0;
}

Qt::Alignment CSourceTableModel::ColumnAlignment(int column) {
  const bool right = column == kColLength || column == kColBitRate || column == kColFreq;
  return (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

QVariant CSourceTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= shownRows_ || index.row() >= list_.RowCount()) return {};
  if (role == Qt::DisplayRole) {
    // The status and the channel mode are the engine's words; the rest are names and figures.
    const std::string text = list_.Text(index.row(), index.column());
    if (index.column() == kColStatus || index.column() == kColChannels)
      return i18n::EngineText(text);
    return QString::fromStdString(text);
  }
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(ColumnAlignment(index.column()));
  if (role == Qt::ToolTipRole && index.column() == kColFile)
    return QString::fromStdString(list_.Entry(index.row()).path);
  return {};
}

QVariant CSourceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) return QCoreApplication::translate("Table", kTitles[section]);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(ColumnAlignment(section));
  return {};
}

void CSourceTableModel::RowsAppended() {
  const int count = list_.RowCount();
  if (count <= shownRows_) return;
  beginInsertRows({}, shownRows_, count - 1);
  shownRows_ = count;
  endInsertRows();
}

void CSourceTableModel::StatusChanged(int row) {
  if (row < 0 || row >= shownRows_) return;
  const QModelIndex cell = index(row, kColStatus);
  emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void CSourceTableModel::EndReset() {
  shownRows_ = list_.RowCount();
  endResetModel();
}

void CSourceTableModel::Sort(int column) {
  emit layoutAboutToBeChanged();
  list_.SortByColumn(column);
  emit layoutChanged();
}

}  // namespace wavorax::ui
