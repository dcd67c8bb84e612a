#include "results/seen_tree.h"

#include <cstddef>
#include <utility>
#include <vector>

std::unique_ptr<SeenNode> g_seen_urls;

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

std::unique_ptr<SeenNode> MakeSeenNode(const char* label, std::int32_t value) {
  auto node = std::make_unique<SeenNode>();
  node->label = label;
  node->value = value;
  return node;
}

// The node of the level starting at first whose label begins with c. It
// is moved to the front of its level: the next key is mostly a neighbour
// of this one (the same server, the same directory) and is then found at
// once. The order of a level means nothing else.
SeenNode* FindOnLevel(std::unique_ptr<SeenNode>& first, char c) {
  if (!first || first->label[0] == c) return first.get();
  for (std::unique_ptr<SeenNode>* prev = &first; (*prev)->sibling; prev = &(*prev)->sibling) {
    if ((*prev)->sibling->label[0] != c) continue;
    std::unique_ptr<SeenNode> found = std::move((*prev)->sibling);
    (*prev)->sibling = std::move(found->sibling);
    found->sibling = std::move(first);
    first = std::move(found);
    return first.get();
  }
  return nullptr;
}

// A new node goes in front of its level, where the next key looks first.
SeenNode* AddToLevel(std::unique_ptr<SeenNode>& first, const char* label, std::int32_t value) {
  std::unique_ptr<SeenNode> node = MakeSeenNode(label, value);
  node->sibling = std::move(first);
  first = std::move(node);
  return first.get();
}

// SeenTreeInsert; with only_new, a key already there with a value is left
// alone and the result is null.
SeenNode* Insert(std::unique_ptr<SeenNode>& root, const char* key, std::int32_t value,
                 bool only_new) {
  if (!key) return nullptr;
  if (!root) {
    root = MakeSeenNode(key, value);
    return root.get();
  }
  std::unique_ptr<SeenNode>* level = &root;
  const char* rest = key;
  for (;;) {
    SeenNode* node = FindOnLevel(*level, rest[0]);
    if (!node) return AddToLevel(*level, rest, value);
    const char* label = node->label.c_str();
    std::size_t i = 0;
    while (label[i] && label[i] == rest[i]) ++i;
    if (!label[i] && !rest[i]) {
      if (only_new && node->value != 0) return nullptr;
      node->value = value;
      return node;
    }
    if (!label[i]) {
      rest += i;
      if (!node->child) {
        node->child = MakeSeenNode(rest, value);
        return node->child.get();
      }
      level = &node->child;
      continue;
    }
    // The key leaves (or ends inside) the label: split it at i. The tail of
    // the label keeps what the whole node meant before.
    auto tail = MakeSeenNode(label + i, node->value);
    tail->child = std::move(node->child);
    node->label.resize(i);
    node->child = std::move(tail);
    if (!rest[i]) {
      node->value = value;
      return node;
    }
    node->value = 0;
    return AddToLevel(node->child, rest + i, value);
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
  while (level) {
    const SeenNode* node = level;
    while (node && node->label[0] != rest[0]) node = node->sibling.get();
    if (!node) return 0;
    const char* label = node->label.c_str();
    std::size_t i = 0;
    while (label[i] && label[i] == rest[i]) ++i;
    if (!label[i] && !rest[i]) return node->value;
    if (label[i]) return 0;
    rest += i;
    level = node->child.get();
  }
  return 0;
}

void SeenTreeFree(std::unique_ptr<SeenNode>& root) {
  root.reset();
}
