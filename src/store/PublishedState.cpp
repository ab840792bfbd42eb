#include "store/PublishedState.h"

namespace tolsa {

std::atomic<const Store*> publishedStore{nullptr};

void PublishStore(const Store& store) {
    static Store published;
    published = store;
    publishedStore.store(&published, std::memory_order_release);
}

}  // namespace tolsa
