#include "ResultListModel.h"

#include "platform/shell/IconCatalogue.h"
#include "scan/ResultList.h"

#include <QIcon>

namespace {
QString FromBytes(const std::string& bytes) {
    // Names are the file system's bytes; what is not UTF-8 shows as replacement characters.
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool IsRightAligned(int column) {
    return column == 2 || column == 3;
}
} // namespace

ResultListModel::ResultListModel(const ResultList& list, const IconCatalogue* icons,
                                 QObject* parent)
    : QAbstractTableModel(parent), list_(list), icons_(icons) {}

void ResultListModel::SetHeaders(const std::array<QString, ColumnCount>& headers) {
    headers_ = headers;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void ResultListModel::ListChanging(const ListChange& change) {
    switch (change.What) {
    case ListChange::Kind::Clear:
        beginResetModel();
        break;
    case ListChange::Kind::Append:
        beginInsertRows(QModelIndex(), change.Row, change.Row);
        break;
    case ListChange::Kind::Sort:
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        break;
    case ListChange::Kind::Remove:
        beginRemoveRows(QModelIndex(), change.Row, change.Row);
        break;
    case ListChange::Kind::Update:
        break;
    }
}

void ResultListModel::ListChanged(const ListChange& change) {
    switch (change.What) {
    case ListChange::Kind::Clear:
        endResetModel();
        break;
    case ListChange::Kind::Append:
        endInsertRows();
        break;
    case ListChange::Kind::Sort: {
        // Move every persistent index (the selection, the current item) with its entry.
        const QModelIndexList before = persistentIndexList();
        QModelIndexList after;
        after.reserve(before.size());
        const std::vector<int>* newRowOfOldRow = change.NewRowOfOldRow;
        for (const QModelIndex& index : before) {
            int row = index.row();
            if (newRowOfOldRow && row >= 0 && row < static_cast<int>(newRowOfOldRow->size())) {
                row = (*newRowOfOldRow)[static_cast<size_t>(row)];
            }
            after.append(this->index(row, index.column()));
        }
        changePersistentIndexList(before, after);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
        break;
    }
    case ListChange::Kind::Remove:
        endRemoveRows();
        break;
    case ListChange::Kind::Update:
        if (change.Row >= 0 && change.Row < rowCount()) {
            emit dataChanged(index(change.Row, 0), index(change.Row, ColumnCount - 1));
        }
        break;
    }
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.Count();
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.Count() || index.column() >= ColumnCount) {
        return QVariant();
    }
    const ResultEntry& entry = list_.At(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return FromBytes(entry.Caption);
        case 1:
            return FromBytes(entry.FolderText);
        case 2:
            return FromBytes(entry.SizeText);
        default:
            return FromBytes(entry.DateText);
        }
    case Qt::DecorationRole:
        if (index.column() == 0 && icons_ && entry.IconIndex >= 0) {
            return icons_->IconAt(entry.IconIndex);
        }
        return QVariant();
    case Qt::TextAlignmentRole:
        if (IsRightAligned(index.column())) {
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        }
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return QVariant();
    }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) {
        return QVariant();
    }
    if (role == Qt::DisplayRole) {
        return headers_[static_cast<size_t>(section)];
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(
            (IsRightAligned(section) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    return QVariant();
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
