#include "host/instance/HandleTable.h"

#include <cstdlib>
#include <cstring>

namespace OfflineHost {
namespace {

// Larger requests are refused as the real host refuses what it cannot allocate.
constexpr std::size_t maxHandleSize = std::size_t{1} << 32;

} // namespace

HandleTable::~HandleTable() {
    clear();
}

PF_Handle HandleTable::create(std::size_t size, std::uint64_t request) {
    if (size > maxHandleSize) {
        return nullptr;
    }
    auto block = std::make_unique<Block>();
    block->data = std::malloc(size > 0 ? size : 1);
    if (block->data == nullptr) {
        return nullptr;
    }
    std::memset(block->data, fillPattern, size);
    block->size = size;
    block->request = request;
    auto handle = reinterpret_cast<PF_Handle>(&block->data);
    m_blocks.emplace(handle, std::move(block));
    return handle;
}

HandleTable::Block* HandleTable::find(PF_Handle handle) {
    auto it = m_blocks.find(handle);
    return it == m_blocks.end() ? nullptr : it->second.get();
}

bool HandleTable::dispose(PF_Handle handle) {
    auto it = m_blocks.find(handle);
    if (it == m_blocks.end()) {
        return false;
    }
    std::free(it->second->data);
    m_blocks.erase(it);
    return true;
}

bool HandleTable::resize(Block& block, std::size_t size) {
    if (size > maxHandleSize) {
        return false;
    }
    void* data = std::realloc(block.data, size > 0 ? size : 1);
    if (data == nullptr) {
        return false;
    }
    if (size > block.size) {
        std::memset(static_cast<unsigned char*>(data) + block.size, fillPattern, size - block.size);
    }
    block.data = data;
    block.size = size;
    return true;
}

std::vector<HandleTable::Live> HandleTable::live() const {
    std::vector<Live> result;
    for (const auto& [handle, block] : m_blocks) {
        result.push_back(Live{handle, block->size, block->request});
    }
    return result;
}

void HandleTable::clear() {
    for (auto& [handle, block] : m_blocks) {
        std::free(block->data);
    }
    m_blocks.clear();
}

} // namespace OfflineHost
