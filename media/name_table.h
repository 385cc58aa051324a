// One table per kind of name (measures, interpolations, reasons a search
// ended): the names a face parses, prints and lists in its options all come
// from it, so that they cannot disagree.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vardelk {

template <typename Value>
struct NamedValue {
    Value value;
    const char* name;
};

// The name of `value` in the table, "?" when it has none.
template <typename Value, size_t N>
const char* NameIn(const NamedValue<Value> (&table)[N], Value value) {
    for (const NamedValue<Value>& entry : table)
        if (entry.value == value) return entry.name;
    return "?";
}

// The value named `name`; false, leaving *value alone, for a name not in the table.
template <typename Value, size_t N>
bool ParseNameIn(const NamedValue<Value> (&table)[N], const std::string& name, Value* value) {
    for (const NamedValue<Value>& entry : table) {
        if (name == entry.name) {
            *value = entry.value;
            return true;
        }
    }
    return false;
}

// Every name of the table, in its order.
template <typename Value, size_t N>
std::vector<std::string> NamesIn(const NamedValue<Value> (&table)[N]) {
    std::vector<std::string> names;
    for (const NamedValue<Value>& entry : table) names.push_back(entry.name);
    return names;
}

}  // namespace vardelk
