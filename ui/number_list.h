#pragma once

#include "schedule/lists.h"

#include <QRect>
#include <QString>

class QAbstractItemModel;
class QComboBox;
class QObject;
class QWidget;

namespace horvex {

// The window's list of the two-digit numbers of `range`, under `name`, made
// on first use: the 74 lists share one per kind instead of each holding its
// own copies.
QAbstractItemModel* numbers(QObject* window, const QString& name, ListRange range);

// A choice-only list at its place, named for tests and screen readers.
QComboBox* pickList(QWidget* parent, const QRect& geometry, const QString& name,
                    const QString& spoken);

// Selects the entry that reads exactly `text`; a text the list does not
// offer leaves it without a selection, which the upload then refuses.
void selectText(QComboBox* list, const QString& text);

} // namespace horvex
