// The nodes and node lists lilv hands over to its caller, freed when they go
// out of scope, and the text of a node that may be missing.
#pragma once

#include <lilv/lilv.h>

#include <string>

namespace vsthost {

class LilvNodeOwner {
public:
    explicit LilvNodeOwner(LilvNode* node = nullptr) : node_(node) {}
    ~LilvNodeOwner() { lilv_node_free(node_); }
    LilvNodeOwner(const LilvNodeOwner&) = delete;
    LilvNodeOwner& operator=(const LilvNodeOwner&) = delete;
    LilvNodeOwner(LilvNodeOwner&& other) noexcept : node_(other.node_) { other.node_ = nullptr; }
    LilvNodeOwner& operator=(LilvNodeOwner&& other) noexcept {
        std::swap(node_, other.node_);
        return *this;
    }

    const LilvNode* get() const { return node_; }
    explicit operator bool() const { return node_ != nullptr; }

private:
    LilvNode* node_;
};

class LilvNodesOwner {
public:
    explicit LilvNodesOwner(LilvNodes* nodes) : nodes_(nodes) {}
    ~LilvNodesOwner() { lilv_nodes_free(nodes_); }
    LilvNodesOwner(const LilvNodesOwner&) = delete;
    LilvNodesOwner& operator=(const LilvNodesOwner&) = delete;

    const LilvNodes* get() const { return nodes_; }

private:
    LilvNodes* nodes_;
};

// The node's text ("" for none): a URI, a string or a number as written.
inline std::string nodeText(const LilvNode* node) {
    if (node == nullptr) return "";
    const char* text = lilv_node_as_string(node);
    return text == nullptr ? "" : text;
}

}  // namespace vsthost
