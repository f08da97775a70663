#pragma once

#include "scan/ListChange.h"

#include <QAbstractTableModel>
#include <QString>
#include <array>

class IconCatalogue;
class ResultList;

// The list view's model over the scan engine's result list. It keeps no copy of the
// entries: it reads them in place and follows the list's announced changes, so rows, the
// selection and the current item stay attached to their entries while the walk adds,
// re-sorts and evicts.
class ResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 4;

    // `icons` may be null: no icons are shown then.
    ResultListModel(const ResultList& list, const IconCatalogue* icons, QObject* parent = nullptr);

    // The four column headers.
    void SetHeaders(const std::array<QString, ColumnCount>& headers);

    // Called by the window around every change of the result list.
    void ListChanging(const ListChange& change);
    void ListChanged(const ListChange& change);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const ResultList& list_;
    const IconCatalogue* icons_;
    std::array<QString, ColumnCount> headers_;
};
