#pragma once

#include "foundation/Dispatch.h"
#include "kit/TableView.h"

#include <QHash>
#include <QList>
#include <functional>
#include <type_traits>

// How the transfer lists keep their selection across a full reload of their rows.
namespace KZTransportSelection {

// The rows that the previously selected records stand for: each previous record's key finds at
// most one row with that key, in row order.
template <class Item, class KeyOf>
QList<Item> carriedOver(const QList<Item>& previous, const QList<Item>& rows, KeyOf keyOf) {
    QHash<std::decay_t<std::invoke_result_t<KeyOf, const Item&>>, int> wanted;
    for (const Item& item : previous)
        ++wanted[keyOf(item)];
    QList<Item> found;
    for (const Item& item : rows) {
        auto it = wanted.find(keyOf(item));
        if (it == wanted.end() || *it == 0)
            continue;
        --*it;
        found.append(item);
    }
    return found;
}

// Selects `toSelect` a moment after a reload, each found by its identity among the rows as they
// are then: rows added or removed meanwhile shift indexes, not records. `generation` is the
// list's counter: a later reload supersedes one whose selection is still waiting.
template <class Item, class IdOf>
void selectLater(QObject* list, int delayMs, quint64* generation, QList<Item> toSelect,
                 std::function<kit::TableView*()> table, std::function<const QList<Item>&()> rows,
                 IdOf idOf) {
    const quint64 mine = ++*generation;
    nubo::runAfter(
        delayMs,
        [=] {
            kit::TableView* t = table();
            if (!t || mine != *generation || toSelect.isEmpty())
                return;
            const QList<Item>& now = rows();
            QHash<const void*, int> at;
            at.reserve(now.size());
            for (int i = 0; i < now.size(); ++i)
                at.insert(idOf(now[i]), i);
            kit::IndexSet indexes;
            for (const Item& item : toSelect)
                if (auto it = at.constFind(idOf(item)); it != at.constEnd())
                    indexes.add(*it);
            t->selectRowIndexes(indexes, true);
        },
        list);
}

} // namespace KZTransportSelection
