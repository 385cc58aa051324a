// Arbitrary sequences of snapshot-list operations, with allocations failing
// wherever the input says, checked step by step against a plain model of
// the list. LeakSanitizer reports any node or block that is not freed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "matrix/snapshot_list.h"

namespace {

using vardelk::SnapshotList;
using vardelk::SnapshotNode;

using Snapshot = std::vector<uint8_t>;

// The list as it should be: the nodes in order and the bytes each holds.
struct Model {
    std::vector<SnapshotNode*> nodes;
    std::vector<Snapshot> data;
};

void CheckList(const SnapshotList* list, const Model& model) {
    if (model.nodes.empty()) {
        FUZZ_CHECK(list->first == nullptr && list->last == nullptr);
        return;
    }
    FUZZ_CHECK(list->first == model.nodes.front() && list->last == model.nodes.back());
    const SnapshotNode* previous = nullptr;
    const SnapshotNode* node = list->first;
    for (size_t i = 0; i < model.nodes.size(); ++i) {
        FUZZ_CHECK(node == model.nodes[i]);
        FUZZ_CHECK(node->owner == list);
        FUZZ_CHECK(node->prev == previous);
        FUZZ_CHECK(node->data != nullptr);
        const Snapshot& expected = model.data[i];
        FUZZ_CHECK(expected.empty() || std::memcmp(node->data, expected.data(), expected.size()) == 0);
        previous = node;
        node = node->next;
    }
    FUZZ_CHECK(node == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider provider(input, size);
    vardelk::fuzz::FlakyAllocator flaky;
    const vardelk::SnapshotAllocator allocate{&vardelk::fuzz::FlakyAllocator::Allocate, &flaky};

    SnapshotList* list = vardelk::SnapshotListCreate(allocate);
    Model model;
    int steps = 0;
    while (provider.remaining_bytes() > 0 && steps++ < 256) {
        if (list == nullptr) {
            // Creation itself failed: try again with whatever fate comes next.
            flaky.failurePattern = provider.ConsumeIntegral<uint64_t>();
            list = vardelk::SnapshotListCreate(allocate);
            continue;
        }
        const auto anyNode = [&]() -> SnapshotNode* {
            if (model.nodes.empty()) return nullptr;
            return model.nodes[provider.ConsumeIntegralInRange<size_t>(0, model.nodes.size() - 1)];
        };
        switch (provider.ConsumeIntegralInRange<int>(0, 8)) {
            case 0: {  // allocations start failing (or stop)
                flaky.failurePattern = provider.ConsumeIntegral<uint64_t>();
                break;
            }
            case 1: {
                const Snapshot bytes = provider.ConsumeBytes<uint8_t>(provider.ConsumeIntegralInRange<size_t>(0, 300));
                const size_t before = flaky.allocations;
                const SnapshotNode* oldFirst = list->first;
                FUZZ_CHECK(vardelk::SnapshotListPushFront(list, bytes.data(), bytes.size()) == list);
                FUZZ_CHECK(flaky.allocations > before);
                if (list->first != oldFirst) {
                    model.nodes.insert(model.nodes.begin(), list->first);
                    model.data.insert(model.data.begin(), bytes);
                }
                break;
            }
            case 2: {
                if (model.nodes.empty()) break;
                const size_t at = provider.ConsumeIntegralInRange<size_t>(0, model.nodes.size() - 1);
                const Snapshot bytes = provider.ConsumeBytes<uint8_t>(provider.ConsumeIntegralInRange<size_t>(0, 300));
                // Insertion needs a source even for no bytes.
                static const uint8_t kNoBytes[1] = {0};
                const void* source = bytes.empty() ? kNoBytes : bytes.data();
                SnapshotNode* added = vardelk::SnapshotListInsertAfter(model.nodes[at], source, bytes.size());
                if (added != nullptr) {
                    FUZZ_CHECK(model.nodes[at]->next == added);
                    model.nodes.insert(model.nodes.begin() + static_cast<ptrdiff_t>(at) + 1, added);
                    model.data.insert(model.data.begin() + static_cast<ptrdiff_t>(at) + 1, bytes);
                }
                break;
            }
            case 3: {
                if (model.nodes.empty()) break;
                const size_t at = provider.ConsumeIntegralInRange<size_t>(0, model.nodes.size() - 1);
                vardelk::SnapshotListRemove(model.nodes[at]);
                model.nodes.erase(model.nodes.begin() + static_cast<ptrdiff_t>(at));
                model.data.erase(model.data.begin() + static_cast<ptrdiff_t>(at));
                break;
            }
            case 4: {
                vardelk::SnapshotListPopFront(list);
                if (!model.nodes.empty()) {
                    model.nodes.erase(model.nodes.begin());
                    model.data.erase(model.data.begin());
                }
                break;
            }
            case 5: {
                vardelk::SnapshotListClear(list);
                model = Model{};
                break;
            }
            case 6: {  // null arguments change nothing
                uint8_t byte = 0;
                FUZZ_CHECK(vardelk::SnapshotListInsertAfter(nullptr, &byte, 1) == nullptr);
                FUZZ_CHECK(vardelk::SnapshotListInsertAfter(anyNode(), nullptr, 1) == nullptr);
                vardelk::SnapshotListRemove(nullptr);
                vardelk::SnapshotListPopFront(nullptr);
                vardelk::SnapshotListClear(nullptr);
                vardelk::SnapshotListDestroy(nullptr);
                break;
            }
            case 7: {  // a snapshot written through its node stays its own
                SnapshotNode* node = anyNode();
                if (node == nullptr) break;
                size_t index = 0;
                while (model.nodes[index] != node) ++index;
                if (model.data[index].empty()) break;
                node->data[0] ^= 0xff;
                model.data[index][0] ^= 0xff;
                break;
            }
            default: {  // the whole list goes, and a new one starts
                vardelk::SnapshotListDestroy(list);
                model = Model{};
                list = vardelk::SnapshotListCreate(allocate);
                continue;
            }
        }
        CheckList(list, model);
    }
    vardelk::SnapshotListDestroy(list);
    return 0;
}
