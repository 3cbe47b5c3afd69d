#include "ui/number_list.h"

#include "ui/look.h"

#include <QAbstractListModel>
#include <QComboBox>

namespace horvex {

namespace {

// The two-digit numbers first..last, read-only and made when shown.
class NumberList : public QAbstractListModel {
public:
    NumberList(ListRange range, QObject* owner)
        : QAbstractListModel(owner)
        , range_(range) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : range_.count();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid) ||
            (role != Qt::DisplayRole && role != Qt::EditRole))
            return {};
        return range_.entry(index.row());
    }

private:
    const ListRange range_;
};

} // namespace

QAbstractItemModel* numbers(QObject* window, const QString& name, ListRange range) {
    auto* list = window->findChild<QAbstractItemModel*>(name, Qt::FindDirectChildrenOnly);
    if (list == nullptr) {
        list = new NumberList(range, window);
        list->setObjectName(name);
    }
    return list;
}

QComboBox* pickList(QWidget* parent, const QRect& geometry, const QString& name,
                    const QString& spoken) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    nameForScreenReaders(*list, spoken);
    list->setEditable(false);
    list->setGeometry(geometry);
    return list;
}

void selectText(QComboBox* list, const QString& text) {
    list->setCurrentIndex(list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

} // namespace horvex
