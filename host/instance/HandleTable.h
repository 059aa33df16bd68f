#pragma once

// The memory handles one effect instance has handed out. A handle is the address of a master
// pointer to the block, so code that dereferences a handle finds the block as on the real host.

#include "AE_Effect.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace OfflineHost {

class HandleTable {
public:
    struct Block {
        void* data = nullptr; // the master pointer: a PF_Handle points here
        std::size_t size = 0;
        int locks = 0;
        std::uint64_t request = 0; // the request it was allocated in (CommandState::serial)
    };

    HandleTable() = default;
    ~HandleTable();
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    // A new handle of `size` bytes with unspecified contents, or null when the memory cannot be
    // had. The contents are a fill pattern, so that code relying on zeroed memory shows.
    PF_Handle create(std::size_t size, std::uint64_t request);
    // The block of a handle of this table, or null for anything else (never dereferenced).
    Block* find(PF_Handle handle);
    // Frees a handle of this table; false for anything else.
    bool dispose(PF_Handle handle);
    // Resizes a handle of this table in place (the handle stays the same); false when the
    // memory cannot be had, leaving the block as it was.
    bool resize(Block& block, std::size_t size);

    struct Live {
        PF_Handle handle = nullptr;
        std::size_t size = 0;
        std::uint64_t request = 0;
    };
    std::vector<Live> live() const;
    void clear();

    static constexpr unsigned char fillPattern = 0xA5;

private:
    std::map<PF_Handle, std::unique_ptr<Block>> m_blocks;
};

} // namespace OfflineHost
