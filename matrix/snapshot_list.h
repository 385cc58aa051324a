// A doubly linked list whose nodes own heap copies of byte blocks: the
// storage behind a matrix history (matrix/current_matrix.h), which keeps one
// 256-byte matrix per node. Every list takes its memory from its own
// allocator.
#pragma once

#include <cstddef>

namespace vardelk {

// Memory source of a list: allocate(context, bytes), or the C library's
// malloc when allocate is null (as in a value-initialised SnapshotAllocator{}).
// Tests pass one that fails on purpose to prove that a failed allocation
// leaves the list intact, keeping their counters behind context. Whatever it
// returns is released with free(). Plain data, like the list that holds it.
struct SnapshotAllocator {
    void* (*allocate)(void* context, size_t bytes);
    void* context;  // handed to allocate unchanged
};

struct SnapshotList;

struct SnapshotNode {
    SnapshotList* owner;  // the list holding the node
    SnapshotNode* next;   // toward last; null for the last node
    SnapshotNode* prev;   // toward first; null for the first node
    unsigned char* data;  // the node's own copy of the snapshot
};

struct SnapshotList {
    SnapshotNode* first;          // null when empty
    SnapshotNode* last;           // null when empty
    SnapshotAllocator allocator;  // null allocate: malloc
};

// New empty list whose own memory and whose nodes' come from allocator, or
// null when the list cannot be allocated.
SnapshotList* SnapshotListCreate(SnapshotAllocator allocator);

// Puts a copy of size bytes from source in front of the list. When the node
// or its block cannot be allocated nothing is added. Returns the list.
SnapshotList* SnapshotListPushFront(SnapshotList* list, const void* source, size_t size);

// Puts a copy of size bytes from source right after node; the nodes that
// followed it now follow the new one. Returns the new node, or null when
// node or source is null or memory ran out (the list is then unchanged).
SnapshotNode* SnapshotListInsertAfter(SnapshotNode* node, const void* source, size_t size);

// Unlinks node and frees it with its data. A null node is ignored.
void SnapshotListRemove(SnapshotNode* node);

// Removes the first node; nothing for a null or empty list.
void SnapshotListPopFront(SnapshotList* list);

// Removes every node, front to back.
void SnapshotListClear(SnapshotList* list);

// Clears the list and frees the list object. A null list is ignored.
void SnapshotListDestroy(SnapshotList* list);

}  // namespace vardelk
