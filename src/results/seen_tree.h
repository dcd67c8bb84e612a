// The seen-URL tree: a radix tree over the locations of the hits found so
// far, so that each location is kept once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Siblings share a level and begin with different characters; value is 0
// for a node that only carries a shared prefix.
struct SeenNode {
  std::string label;
  std::unique_ptr<SeenNode> sibling;
  std::unique_ptr<SeenNode> child;
  std::int32_t value = 0;

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
