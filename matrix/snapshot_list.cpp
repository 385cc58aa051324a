// Every operation that allocates takes both pieces of memory before it
// touches a link, so a failure changes nothing.
#include "matrix/snapshot_list.h"

#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace vardelk {

// A list is made from raw memory and its fields are assigned one by one.
static_assert(std::is_trivial_v<SnapshotList> && std::is_standard_layout_v<SnapshotList>);

namespace {

void* Allocate(const SnapshotAllocator& allocator, size_t bytes) {
    return allocator.allocate != nullptr ? allocator.allocate(allocator.context, bytes) : std::malloc(bytes);
}

// A detached node holding a copy of the source, or null with nothing held.
SnapshotNode* NewNode(SnapshotList* owner, const void* source, size_t size) {
    auto* node = static_cast<SnapshotNode*>(Allocate(owner->allocator, sizeof(SnapshotNode)));
    auto* data = static_cast<unsigned char*>(Allocate(owner->allocator, size > 0 ? size : 1));
    if (node == nullptr || data == nullptr) {
        std::free(node);
        std::free(data);
        return nullptr;
    }
    if (size > 0) {
        std::memcpy(data, source, size);
    }
    node->owner = owner;
    node->next = nullptr;
    node->prev = nullptr;
    node->data = data;
    return node;
}

}  // namespace

SnapshotList* SnapshotListCreate(SnapshotAllocator allocator) {
    auto* list = static_cast<SnapshotList*>(Allocate(allocator, sizeof(SnapshotList)));
    if (list != nullptr) {
        list->first = nullptr;
        list->last = nullptr;
        list->allocator = allocator;
    }
    return list;
}

SnapshotList* SnapshotListPushFront(SnapshotList* list, const void* source, size_t size) {
    SnapshotNode* node = NewNode(list, source, size);
    if (node == nullptr) {
        return list;
    }
    node->next = list->first;
    list->first = node;
    if (node->next == nullptr) {
        list->last = node;
    } else {
        node->next->prev = node;
    }
    return list;
}

SnapshotNode* SnapshotListInsertAfter(SnapshotNode* node, const void* source, size_t size) {
    if (node == nullptr || source == nullptr) {
        return nullptr;
    }
    SnapshotNode* added = NewNode(node->owner, source, size);
    if (added == nullptr) {
        return nullptr;
    }
    added->prev = node;
    added->next = node->next;
    node->next = added;
    if (added->next == nullptr) {
        node->owner->last = added;
    } else {
        added->next->prev = added;
    }
    return added;
}

void SnapshotListRemove(SnapshotNode* node) {
    if (node == nullptr) {
        return;
    }
    SnapshotNode* next = node->next;
    SnapshotNode* prev = node->prev;
    SnapshotList* owner = node->owner;
    std::free(node->data);
    std::free(node);
    if (next == nullptr) {
        owner->last = prev;
    } else {
        next->prev = prev;
    }
    if (prev == nullptr) {
        owner->first = next;
    } else {
        prev->next = next;
    }
}

void SnapshotListPopFront(SnapshotList* list) {
    if (list != nullptr) {
        SnapshotListRemove(list->first);
    }
}

void SnapshotListClear(SnapshotList* list) {
    if (list == nullptr) {
        return;
    }
    while (list->first != nullptr) {
        SnapshotListPopFront(list);
    }
}

void SnapshotListDestroy(SnapshotList* list) {
    SnapshotListClear(list);
    std::free(list);
}

}  // namespace vardelk
