// The list of applied intra matrices behind the editor's back and forward
// buttons: a doubly linked list whose nodes own heap copies of byte blocks.
// The list is generic; the module stores one 256-byte matrix per node.
#pragma once

#include <cstddef>

namespace vardelk {

struct MatrixHistory;

struct HistoryNode {
    MatrixHistory* owner;  // the list holding the node
    HistoryNode* next;     // toward last; null for the last node
    HistoryNode* prev;     // toward first; null for the first node
    unsigned char* data;   // the node's own copy of the snapshot
};

struct MatrixHistory {
    HistoryNode* first;  // null when empty
    HistoryNode* last;   // null when empty
};

// New empty list, or null when it cannot be allocated.
MatrixHistory* HistoryCreate();

// Puts a copy of size bytes from source in front of the list. When the node
// or its block cannot be allocated nothing is added. Returns the list.
MatrixHistory* HistoryPushFront(MatrixHistory* list, const void* source, size_t size);

// Puts a copy of size bytes from source right after node; the nodes that
// followed it now follow the new one. Returns the new node, or null when
// node or source is null or memory ran out (the list is then unchanged).
HistoryNode* HistoryInsertAfter(HistoryNode* node, const void* source, size_t size);

// Unlinks node and frees it with its data. A null node is ignored.
void HistoryRemove(HistoryNode* node);

// Removes the first node; nothing for a null or empty list.
void HistoryPopFront(MatrixHistory* list);

// Removes every node, front to back.
void HistoryClear(MatrixHistory* list);

// Clears the list and frees the list object. A null list is ignored.
void HistoryDestroy(MatrixHistory* list);

// Memory source of the list. Tests install one that fails on purpose to
// prove that a failed allocation leaves the list intact; null restores the
// C library's malloc. Whatever it returns is released with free().
using HistoryAllocator = void* (*)(size_t bytes);
void SetHistoryAllocator(HistoryAllocator allocator);

// The module's one history and the snapshot the editor regards as applied.
extern MatrixHistory* History;
extern HistoryNode* CurrentNode;

// Starts a new History holding one copy of the given snapshot and makes it
// current. A history that existed before is freed first. If memory runs out
// History or CurrentNode may be left null; callers check before use.
void HistorySeed(const void* snapshot, size_t size);

// Frees History and leaves History and CurrentNode null.
void HistoryRelease();

}  // namespace vardelk
