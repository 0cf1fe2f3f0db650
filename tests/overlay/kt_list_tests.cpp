#include "plugin/overlay/kt_list.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace pattix {
namespace {

std::vector<int> itemsOf(const KtList<int>& list) {
    std::vector<int> items;
    list.forEach([&](int item) { items.push_back(item); });
    return items;
}

TEST(KtList, RemoveUnlinksEveryNodeHoldingTheItem) {
    KtList<int> list;
    for (int i : {7, 1, 7, 2, 7}) list.append(i);
    EXPECT_TRUE(list.remove(7));
    EXPECT_EQ(itemsOf(list), (std::vector<int>{1, 2}));
    EXPECT_FALSE(list.remove(7));
    EXPECT_EQ(list.front(), 1);
    EXPECT_EQ(list.back(), 2);
}

// A loop visits every item that is still in the list, whichever items the visit removes.
TEST(KtList, RemovalDuringIterationGoesOnWithTheItemsLeft) {
    struct Case {
        const char* what;
        bool backward;
        int visited;  // the item whose visit removes
        int removed;
        std::vector<int> expectedVisits;
    };
    const Case cases[] = {{"forward, itself", false, 2, 2, {1, 2, 3, 4}},
                          {"forward, the next one", false, 2, 3, {1, 2, 4}},
                          {"forward, the last from the one before", false, 3, 4, {1, 2, 3}},
                          {"forward, one already visited", false, 3, 1, {1, 2, 3, 4}},
                          {"backward, itself", true, 3, 3, {4, 3, 2, 1}},
                          {"backward, the next one", true, 3, 2, {4, 3, 1}},
                          {"backward, the first from the second", true, 2, 1, {4, 3, 2}}};
    for (const Case& c : cases) {
        KtList<int> list;
        for (int i : {1, 2, 3, 4}) list.append(i);
        std::vector<int> visits;
        int item = 0;
        c.backward ? list.startFromBack() : list.start();
        while (list.next(item)) {
            visits.push_back(item);
            if (item == c.visited) list.remove(c.removed);
        }
        EXPECT_EQ(visits, c.expectedVisits) << c.what;
    }
}

TEST(KtList, ClearingFreesNodesOnlyAndEndsAnIteration) {
    int a = 1;
    int b = 2;
    KtList<int*> list;
    list.append(&a);
    list.append(&b);
    list.start();
    int* item = nullptr;
    ASSERT_TRUE(list.next(item));
    list.clear();
    EXPECT_FALSE(list.next(item));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(a + b, 3);  // the items are untouched
}

}  // namespace
}  // namespace pattix
