// generation_cache.h: values kept for the keys used lately, for the portable canvas's laid-out texts and
// drawn shapes.
//
// Two generations of at most generation_size entries each: new entries go to the recent one; when it is full
// it becomes the older one and the older one is dropped; an entry found in the older one moves back. A value
// used in every frame therefore stays, and values used once (a position text that keeps changing) go after
// two generations, without any bookkeeping per use.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <utility>

template <typename Key, typename Value, typename Hash> class GenerationCache {
public:
  explicit GenerationCache(size_t generation_size) : generation_size_(generation_size) {}

  // The kept value of key, or null. A pointer stays valid until the next Add.
  Value *Find(const Key &key) {
    if (auto found = recent_.find(key); found != recent_.end())
      return &found->second;
    auto node = older_.extract(key);
    if (node.empty())
      return nullptr;
    MakeRoom();
    return &recent_.insert(std::move(node)).position->second;
  }

  Value &Add(const Key &key, Value value) {
    MakeRoom();
    return recent_.insert_or_assign(key, std::move(value)).first->second;
  }

private:
  void MakeRoom() {
    if (recent_.size() < generation_size_)
      return;
    older_.clear();
    std::swap(older_, recent_);
  }

  size_t generation_size_;
  std::unordered_map<Key, Value, Hash> recent_, older_;
};
