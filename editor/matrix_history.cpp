// Doubly linked snapshot list. Every operation that allocates takes both
// pieces of memory before it touches a link, so a failure changes nothing.
#include "editor/matrix_history.h"

#include <cstdlib>
#include <cstring>

namespace vardelk {

MatrixHistory* History = nullptr;
HistoryNode* CurrentNode = nullptr;

namespace {

HistoryAllocator allocator = nullptr;

void* Allocate(size_t bytes) { return allocator != nullptr ? allocator(bytes) : std::malloc(bytes); }

// A detached node holding a copy of the source, or null with nothing held.
HistoryNode* NewNode(MatrixHistory* owner, const void* source, size_t size) {
    auto* node = static_cast<HistoryNode*>(Allocate(sizeof(HistoryNode)));
    auto* data = static_cast<unsigned char*>(Allocate(size > 0 ? size : 1));
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

void SetHistoryAllocator(HistoryAllocator replacement) { allocator = replacement; }

MatrixHistory* HistoryCreate() {
    auto* list = static_cast<MatrixHistory*>(Allocate(sizeof(MatrixHistory)));
    if (list != nullptr) {
        list->first = nullptr;
        list->last = nullptr;
    }
    return list;
}

MatrixHistory* HistoryPushFront(MatrixHistory* list, const void* source, size_t size) {
    HistoryNode* node = NewNode(list, source, size);
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

HistoryNode* HistoryInsertAfter(HistoryNode* node, const void* source, size_t size) {
    if (node == nullptr || source == nullptr) {
        return nullptr;
    }
    HistoryNode* added = NewNode(node->owner, source, size);
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

void HistoryRemove(HistoryNode* node) {
    if (node == nullptr) {
        return;
    }
    HistoryNode* next = node->next;
    HistoryNode* prev = node->prev;
    MatrixHistory* owner = node->owner;
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

void HistoryPopFront(MatrixHistory* list) {
    if (list != nullptr) {
        HistoryRemove(list->first);
    }
}

void HistoryClear(MatrixHistory* list) {
    if (list == nullptr) {
        return;
    }
    while (list->first != nullptr) {
        HistoryPopFront(list);
    }
}

void HistoryDestroy(MatrixHistory* list) {
    HistoryClear(list);
    std::free(list);
}

void HistoryRelease() {
    HistoryDestroy(History);
    History = nullptr;
    CurrentNode = nullptr;
}

void HistorySeed(const void* snapshot, size_t size) {
    HistoryRelease();
    History = HistoryCreate();
    if (History != nullptr) {
        HistoryPushFront(History, snapshot, size);
        CurrentNode = History->first;
    }
}

}  // namespace vardelk
