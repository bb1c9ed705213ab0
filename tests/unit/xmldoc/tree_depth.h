// The depth of the element tree TinyXML built (also of the part it built before a fault):
// what the depth scanner must never see as shallower.
#pragma once
#include <cstddef>
#include <utility>
#include <vector>

#include <tinyxml.h>

inline size_t treeDepth(const TiXmlNode& root) {
  size_t deepest = 0;
  std::vector<std::pair<const TiXmlNode*, size_t>> stack{{&root, 0}};
  while (!stack.empty()) {
    auto [node, depth] = stack.back();
    stack.pop_back();
    if (depth > deepest) deepest = depth;
    for (const TiXmlNode* c = node->FirstChild(); c; c = c->NextSibling())
      stack.push_back({c, depth + (c->ToElement() ? 1 : 0)});
  }
  return deepest;
}
