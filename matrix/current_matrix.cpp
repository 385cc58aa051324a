#include "matrix/current_matrix.h"

#include <cstring>

namespace vardelk {

CurrentMatrix::CurrentMatrix(SnapshotAllocator allocator) : allocator_(allocator) {
    std::memcpy(entries_, kDefaultIntraMatrix, kMatrixBytes);
}

CurrentMatrix::~CurrentMatrix() { EndHistory(); }

void CurrentMatrix::StartHistory() {
    EndHistory();
    history_ = SnapshotListCreate(allocator_);
    if (history_ != nullptr) {
        SnapshotListPushFront(history_, entries_, kMatrixBytes);
        current_ = history_->first;
    }
}

void CurrentMatrix::EndHistory() {
    SnapshotListDestroy(history_);
    history_ = nullptr;
    current_ = nullptr;
}

bool CurrentMatrix::Commit() {
    if (current_ != nullptr && std::memcmp(entries_, current_->data, kMatrixBytes) == 0) {
        return false;
    }
    SnapshotNode* added = SnapshotListInsertAfter(current_, entries_, kMatrixBytes);
    if (added != nullptr) {
        current_ = added;
    }
    return true;
}

bool CurrentMatrix::StepTo(SnapshotNode* target) {
    if (target == nullptr) {
        return false;
    }
    current_ = target;
    std::memcpy(entries_, current_->data, kMatrixBytes);
    return true;
}

bool CurrentMatrix::StepBack() { return StepTo(current_ != nullptr ? current_->prev : nullptr); }
bool CurrentMatrix::StepForward() { return StepTo(current_ != nullptr ? current_->next : nullptr); }

int32_t CurrentMatrix::Position() const {
    int32_t position = 0;
    for (const SnapshotNode* node = current_; node != nullptr; node = node->prev) ++position;
    return position;
}

int32_t CurrentMatrix::SnapshotCount() const {
    int32_t count = 0;
    for (const SnapshotNode* node = history_ != nullptr ? history_->first : nullptr; node != nullptr;
         node = node->next) {
        ++count;
    }
    return count;
}

void CurrentMatrix::SetAllocator(SnapshotAllocator allocator) {
    allocator_ = allocator;
    if (history_ != nullptr) {
        history_->allocator = allocator;
    }
}

}  // namespace vardelk
