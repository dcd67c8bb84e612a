#include "results/seen_tree.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

std::unique_ptr<SeenNode> g_seen_urls;

void* SeenNode::operator new(std::size_t size) {
  void* block = ::operator new(size + 1);
  static_cast<char*>(block)[size] = '\0';
  return block;
}

void* SeenNode::operator new(std::size_t size, WithLabel label) {
  return ::operator new(size + label.size + 1);
}

void SeenNode::operator delete(void* block) {
  ::operator delete(block);
}

void SeenNode::operator delete(void* block, WithLabel) {
  ::operator delete(block);
}

SeenNode::~SeenNode() {
  std::vector<std::unique_ptr<SeenNode>> pending;
  if (child) pending.push_back(std::move(child));
  if (sibling) pending.push_back(std::move(sibling));
  while (!pending.empty()) {
    std::unique_ptr<SeenNode> node = std::move(pending.back());
    pending.pop_back();
    if (node->child) pending.push_back(std::move(node->child));
    if (node->sibling) pending.push_back(std::move(node->sibling));
    // node now has no links, so its own destructor ends at once.
  }
}

namespace {

std::unique_ptr<SeenNode> MakeSeenNode(const char* label, std::size_t size, std::int32_t value) {
  std::unique_ptr<SeenNode> node(new (SeenNode::WithLabel{size}) SeenNode);
  std::memcpy(node->label(), label, size);
  node->label()[size] = '\0';
  node->label_size = size;
  node->value = value;
  return node;
}

// How many of the first n bytes of a and b are equal. Keys of one server
// share long beginnings, so they are compared a word at a time.
std::size_t CommonPrefix(const char* a, const char* b, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    // Both targets are little-endian: the lowest differing bit is in the
    // first differing byte.
    if (x != y) return i + static_cast<std::size_t>(__builtin_ctzll(x ^ y)) / 8;
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// The node of the level starting at first whose label begins with c. It
// is moved to the front of its level: the next key is mostly a neighbour
// of this one (the same server, the same directory) and is then found at
// once. The order of a level means nothing else.
SeenNode* FindOnLevel(std::unique_ptr<SeenNode>& first, char c) {
  if (!first || first->label()[0] == c) return first.get();
  for (std::unique_ptr<SeenNode>* prev = &first; (*prev)->sibling; prev = &(*prev)->sibling) {
    if ((*prev)->sibling->label()[0] != c) continue;
    std::unique_ptr<SeenNode> found = std::move((*prev)->sibling);
    (*prev)->sibling = std::move(found->sibling);
    found->sibling = std::move(first);
    first = std::move(found);
    return first.get();
  }
  return nullptr;
}

// A new node goes in front of its level, where the next key looks first.
SeenNode* AddToLevel(std::unique_ptr<SeenNode>& first, const char* label, std::size_t size,
                     std::int32_t value) {
  std::unique_ptr<SeenNode> node = MakeSeenNode(label, size, value);
  node->sibling = std::move(first);
  first = std::move(node);
  return first.get();
}

// SeenTreeInsert; with only_new, a key already there with a value is left
// alone and the result is null.
SeenNode* Insert(std::unique_ptr<SeenNode>& root, const char* key, std::int32_t value,
                 bool only_new) {
  if (!key) return nullptr;
  std::size_t rest_len = std::strlen(key);
  if (!root) {
    root = MakeSeenNode(key, rest_len, value);
    return root.get();
  }
  std::unique_ptr<SeenNode>* level = &root;
  const char* rest = key;
  for (;;) {
    SeenNode* node = FindOnLevel(*level, rest[0]);
    if (!node) return AddToLevel(*level, rest, rest_len, value);
    const char* label = node->label();
    const std::size_t label_len = node->label_size;
    const std::size_t i = CommonPrefix(label, rest, std::min(label_len, rest_len));
    if (i == label_len && i == rest_len) {
      if (only_new && node->value != 0) return nullptr;
      node->value = value;
      return node;
    }
    if (i == label_len) {
      rest += i;
      rest_len -= i;
      if (!node->child) {
        node->child = MakeSeenNode(rest, rest_len, value);
        return node->child.get();
      }
      level = &node->child;
      continue;
    }
    // The key leaves (or ends inside) the label: split it at i. The tail of
    // the label keeps what the whole node meant before.
    auto tail = MakeSeenNode(label + i, label_len - i, node->value);
    tail->child = std::move(node->child);
    node->label()[i] = '\0';
    node->label_size = i;
    node->child = std::move(tail);
    if (i == rest_len) {
      node->value = value;
      return node;
    }
    node->value = 0;
    return AddToLevel(node->child, rest + i, rest_len - i, value);
  }
}

}  // namespace

SeenNode* SeenTreeInsert(std::unique_ptr<SeenNode>& root, const char* key, std::int32_t value) {
  return Insert(root, key, value, false);
}

bool SeenTreeAdd(std::unique_ptr<SeenNode>& root, const char* key, std::int32_t value) {
  return Insert(root, key, value, true) != nullptr;
}

std::int32_t SeenTreeLookup(const SeenNode* root, const char* key) {
  if (!key) return 0;
  const SeenNode* level = root;
  const char* rest = key;
  std::size_t rest_len = std::strlen(key);
  while (level) {
    const SeenNode* node = level;
    while (node && node->label()[0] != rest[0]) node = node->sibling.get();
    if (!node) return 0;
    const std::size_t label_len = node->label_size;
    const std::size_t i = CommonPrefix(node->label(), rest, std::min(label_len, rest_len));
    if (i == label_len && i == rest_len) return node->value;
    if (i != label_len) return 0;
    rest += i;
    rest_len -= i;
    level = node->child.get();
  }
  return 0;
}

void SeenTreeFree(std::unique_ptr<SeenNode>& root) {
  root.reset();
}
