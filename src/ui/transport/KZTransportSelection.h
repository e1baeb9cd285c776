#pragma once

#include "kit/IndexSet.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <type_traits>

// How the transfer lists keep their selection across a full reload of their rows.
namespace KZTransportSelection {

// The rows that the previously selected records stand for, in row order. The proxies hand back
// the same objects, so a selected record that is still a row is simply kept. Only a selected
// record that is no longer a row is looked for by key, and only among records new to the list
// (a row the user saw and left alone never joins), each finding at most one.
template <class Item, class IdOf, class KeyOf>
QList<Item> carriedOver(const QList<Item>& selected, const QList<Item>& before, const QList<Item>& rows,
                        IdOf idOf, KeyOf keyOf) {
    QSet<const void*> seen, now;
    seen.reserve(before.size());
    for (const Item& item : before)
        seen.insert(idOf(item));
    now.reserve(rows.size());
    for (const Item& item : rows)
        now.insert(idOf(item));
    QSet<const void*> kept;
    QHash<std::decay_t<std::invoke_result_t<KeyOf, const Item&>>, int> wanted;
    for (const Item& item : selected) {
        if (now.contains(idOf(item)))
            kept.insert(idOf(item));
        else
            ++wanted[keyOf(item)];
    }
    QList<Item> found;
    for (const Item& item : rows) {
        const void* id = idOf(item);
        if (kept.contains(id)) {
            found.append(item);
            continue;
        }
        if (wanted.isEmpty() || seen.contains(id))
            continue;
        auto it = wanted.find(keyOf(item));
        if (it == wanted.end() || *it == 0)
            continue;
        --*it;
        found.append(item);
    }
    return found;
}

// The row of each of `items` among `rows`, found by identity.
template <class Item, class IdOf>
kit::IndexSet rowsOf(const QList<Item>& items, const QList<Item>& rows, IdOf idOf) {
    QSet<const void*> wanted;
    for (const Item& item : items)
        wanted.insert(idOf(item));
    kit::IndexSet out;
    for (int i = 0; i < rows.size() && !wanted.isEmpty(); ++i)
        if (wanted.remove(idOf(rows[i])))
            out.add(i);
    return out;
}

} // namespace KZTransportSelection
