// The seen-URL tree: a radix tree over the locations of the hits found so
// far, so that each location is kept once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Siblings share a level and begin with different characters; value is 0
// for a node that only carries a shared prefix.
struct SeenNode {
  std::unique_ptr<SeenNode> sibling;
  std::unique_ptr<SeenNode> child;
  std::int32_t value = 0;
  std::size_t label_size = 0;

  // The label's characters and a NUL stand right behind the node, in its
  // own block: a node costs one allocation, not two. A node made by a
  // plain new has an empty label.
  char* label() { return reinterpret_cast<char*>(this + 1); }
  const char* label() const { return reinterpret_cast<const char*>(this + 1); }

  // new (SeenNode::WithLabel{n}) SeenNode: room for a label of n
  // characters, which the caller then writes.
  struct WithLabel {
    std::size_t size;
  };
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, WithLabel label);
  static void operator delete(void* block);
  static void operator delete(void* block, WithLabel label);

  SeenNode() = default;
  SeenNode(const SeenNode&) = delete;
  SeenNode& operator=(const SeenNode&) = delete;
  // Frees the levels below and the siblings behind without recursion: one
  // server's files make sibling chains far too long for the stack.
  ~SeenNode();
};

// Stores key with value; returns the node holding it (null for a null key).
SeenNode* SeenTreeInsert(std::unique_ptr<SeenNode>& root, const char* key, std::int32_t value);
// Stores key with value (not 0) unless it is there already; true when it was
// new. A look-up and an insert in one walk.
bool SeenTreeAdd(std::unique_ptr<SeenNode>& root, const char* key, std::int32_t value);
// The value stored for key, 0 when absent.
std::int32_t SeenTreeLookup(const SeenNode* root, const char* key);
void SeenTreeFree(std::unique_ptr<SeenNode>& root);

extern std::unique_ptr<SeenNode> g_seen_urls;
