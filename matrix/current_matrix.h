// The intra matrix in effect and the history of applied matrices behind an
// editor's back and forward commands. The module's filter window and the
// lab's page both edit their matrix through this one class.
//
// The history is a list of snapshots with one of them current. A matrix
// that is committed while it differs from the current snapshot is recorded
// right after that snapshot, so stepping back and applying something new
// puts the new matrix between its neighbours instead of dropping those that
// followed. Stepping copies the snapshot into the matrix.
#pragma once

#include <cstdint>

#include "codec/types.h"
#include "matrix/snapshot_list.h"

namespace vardelk {

class CurrentMatrix {
public:
    // The default matrix, without a history. The history's memory comes
    // from allocator (SnapshotAllocator{}: malloc).
    explicit CurrentMatrix(SnapshotAllocator allocator = {});
    ~CurrentMatrix();
    CurrentMatrix(const CurrentMatrix&) = delete;
    CurrentMatrix& operator=(const CurrentMatrix&) = delete;

    // The 64 entries, row-major, at an address that stays for the object's
    // life (the module hands it to the host as the filter's extra data, so
    // they may hold anything the host wrote).
    int32_t* Entries() { return entries_; }
    const int32_t* Entries() const { return entries_; }

    // Starts a new history holding one copy of the matrix and makes it
    // current; a history that existed before is freed first. When memory
    // runs out there may be no history or no current snapshot afterwards.
    void StartHistory();
    // Frees the history; there is none until the next StartHistory().
    void EndHistory();
    bool HasHistory() const { return history_ != nullptr; }

    // False when the matrix equals the current snapshot. Otherwise records
    // it right after the current snapshot, makes it current and returns
    // true; without a current snapshot, or without memory, nothing is
    // recorded and the current snapshot stays, but the answer is still true.
    bool Commit();

    // Makes the previous or next snapshot current and copies it into the
    // matrix. False, changing nothing, at either end of the history or
    // without a current snapshot.
    bool StepBack();
    bool StepForward();
    bool CanStepBack() const { return current_ != nullptr && current_->prev != nullptr; }
    bool CanStepForward() const { return current_ != nullptr && current_->next != nullptr; }

    // Where the current snapshot stands, counted from 1 (0 without one),
    // and how many snapshots the history holds.
    int32_t Position() const;
    int32_t SnapshotCount() const;

    // The history's memory from now on, for the live history too (tests
    // make it fail on purpose). Its context must live as long as the
    // history allocates through it.
    void SetAllocator(SnapshotAllocator allocator);

    // The history and its current snapshot, for checks of their links;
    // either may be null.
    const SnapshotList* History() const { return history_; }
    const SnapshotNode* CurrentSnapshot() const { return current_; }

private:
    bool StepTo(SnapshotNode* target);

    int32_t entries_[kMatrixEntries];
    SnapshotAllocator allocator_;
    SnapshotList* history_ = nullptr;
    SnapshotNode* current_ = nullptr;
};

}  // namespace vardelk
