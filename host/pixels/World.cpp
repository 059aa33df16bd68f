#include "host/pixels/World.h"

#include "host/system/HostError.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace OfflineHost {
namespace {

// The pixel blocks of all live Worlds, by first byte.
class Registry {
public:
    void add(const std::byte* begin, std::size_t bytes, PixelDepth depth) {
        std::lock_guard lock(m_mutex);
        m_blocks[address(begin)] = Block{address(begin) + bytes, depth};
    }
    void remove(const std::byte* begin) {
        std::lock_guard lock(m_mutex);
        m_blocks.erase(address(begin));
    }
    struct Found {
        PixelDepth depth;
        std::size_t bytesFrom; // bytes from the address to the block's end
    };
    // The block holding the byte at p.
    std::optional<Found> find(const void* p) const {
        std::lock_guard lock(m_mutex);
        auto it = m_blocks.upper_bound(address(p));
        if (it == m_blocks.begin()) {
            return std::nullopt;
        }
        --it;
        if (address(p) >= it->second.end) {
            return std::nullopt;
        }
        return Found{it->second.depth, it->second.end - address(p)};
    }

private:
    static std::uintptr_t address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

    struct Block {
        std::uintptr_t end;
        PixelDepth depth;
    };
    mutable std::mutex m_mutex;
    std::map<std::uintptr_t, Block> m_blocks;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

std::size_t channelBytes(PixelDepth depth) {
    return pixelBytes(depth) / 4;
}

// Bytes from a world's first pixel to the end of its last, when its rows are sound.
std::optional<std::size_t> extentOf(const PF_EffectWorld& world, PixelDepth depth) {
    const auto pixel = static_cast<long long>(pixelBytes(depth));
    if (world.width < 0 || world.height < 0 || world.rowbytes < 0 ||
        world.rowbytes < world.width * pixel) {
        return std::nullopt;
    }
    if (world.width == 0 || world.height == 0) {
        return 0;
    }
    return static_cast<std::size_t>(static_cast<long long>(world.rowbytes) * (world.height - 1) +
                                    world.width * pixel);
}

} // namespace

std::size_t pixelBytes(PixelDepth depth) {
    switch (depth) {
    case PixelDepth::Bits8:
        return sizeof(PF_Pixel);
    case PixelDepth::Bits16:
        return sizeof(PF_Pixel16);
    case PixelDepth::Float32:
        return sizeof(PF_PixelFloat);
    }
    throw HostError("unknown pixel depth");
}

const char* depthLabel(PixelDepth depth) {
    switch (depth) {
    case PixelDepth::Bits8:
        return "8-bit";
    case PixelDepth::Bits16:
        return "16-bit";
    case PixelDepth::Float32:
        return "float";
    }
    return "unknown";
}

World::World(A_long width, A_long height, PixelDepth depth, A_long extraRowBytes, A_long originX,
             A_long originY)
    : World(width, height, depth, extraRowBytes, originX, originY, 0) {}

World World::guarded(A_long width, A_long height, PixelDepth depth, A_long extraRowBytes,
                     A_long originX, A_long originY) {
    return World(width, height, depth, extraRowBytes, originX, originY, guardPixels);
}

World::World(A_long width, A_long height, PixelDepth depth, A_long extraRowBytes, A_long originX,
             A_long originY, A_long guard)
    : m_depth(depth), m_guard(guard) {
    if (width < 0 || height < 0 || extraRowBytes < 0) {
        throw HostError("a world needs sizes and padding of at least 0, not " +
                        std::to_string(width) + " x " + std::to_string(height) + " + " +
                        std::to_string(extraRowBytes));
    }
    if (static_cast<std::size_t>(extraRowBytes) % channelBytes(depth) != 0) {
        throw HostError("row padding of " + std::to_string(extraRowBytes) +
                        " bytes is not a whole number of channels");
    }
    const auto pixel = static_cast<long long>(pixelBytes(depth));
    const long long rowBytes = (static_cast<long long>(width) + 2 * guard) * pixel + extraRowBytes;
    if (rowBytes > 0x7FFFFFFF) {
        throw HostError("a world row of " + std::to_string(rowBytes) + " bytes is too long");
    }
    // At least one byte, so that even an empty world has pixels of its own to be known by.
    m_bytes = std::max<std::size_t>(
        static_cast<std::size_t>(rowBytes) * (static_cast<std::size_t>(height) + 2 * guard), 1);
    m_pixels = std::make_unique<std::byte[]>(m_bytes);
    std::byte* first = m_pixels.get() + guard * rowBytes + guard * pixel;
    if (guard > 0) {
        std::memset(m_pixels.get(), guardByte, m_bytes);
        for (A_long y = 0; y < height; ++y) {
            std::memset(first + y * rowBytes, 0, static_cast<std::size_t>(width * pixel));
        }
    }

    m_record.world_flags = PF_WorldFlag_WRITEABLE;
    if (depth == PixelDepth::Bits16) {
        m_record.world_flags |= PF_WorldFlag_DEEP;
    }
    m_record.data = reinterpret_cast<PF_PixelPtr>(first);
    m_record.rowbytes = static_cast<A_long>(rowBytes);
    m_record.width = width;
    m_record.height = height;
    m_record.extent_hint = {0, 0, width, height};
    m_record.pix_aspect_ratio = {1, 1};
    m_record.origin_x = originX;
    m_record.origin_y = originY;
    registry().add(m_pixels.get(), m_bytes, depth);
}

World::World(World&& other) noexcept
    : m_depth(other.m_depth), m_guard(other.m_guard), m_pixels(std::move(other.m_pixels)),
      m_bytes(other.m_bytes), m_record(other.m_record) {
    other.m_bytes = 0;
    other.m_record = PF_EffectWorld{};
}

World& World::operator=(World&& other) noexcept {
    if (this != &other) {
        _release();
        m_depth = other.m_depth;
        m_guard = other.m_guard;
        m_pixels = std::move(other.m_pixels);
        m_bytes = other.m_bytes;
        m_record = other.m_record;
        other.m_bytes = 0;
        other.m_record = PF_EffectWorld{};
    }
    return *this;
}

World::~World() {
    _release();
}

void World::_release() noexcept {
    if (m_pixels) {
        registry().remove(m_pixels.get());
        m_pixels.reset();
    }
}

std::byte* World::_address(A_long x, A_long y, PixelDepth expected) {
    if (expected != m_depth) {
        throw HostError("pixel type does not match the world's depth");
    }
    if (!m_pixels || x < 0 || y < 0 || x >= m_record.width || y >= m_record.height) {
        throw HostError("pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                        ") lies outside the " + std::to_string(m_record.width) + " x " +
                        std::to_string(m_record.height) + " world");
    }
    return reinterpret_cast<std::byte*>(m_record.data) +
           static_cast<std::ptrdiff_t>(y) * m_record.rowbytes +
           static_cast<std::ptrdiff_t>(x) * static_cast<std::ptrdiff_t>(pixelBytes(m_depth));
}

std::optional<std::string> World::damagedGuard() const {
    if (m_guard == 0 || !m_pixels) {
        return std::nullopt;
    }
    const auto pixel = static_cast<std::ptrdiff_t>(pixelBytes(m_depth));
    const std::ptrdiff_t rowBytes = m_record.rowbytes;
    const std::ptrdiff_t left = m_guard * pixel;
    const std::ptrdiff_t right = left + m_record.width * pixel;
    const auto intact = [](const std::byte* from, std::ptrdiff_t bytes) {
        return std::all_of(from, from + bytes,
                           [](std::byte b) { return b == std::byte{guardByte}; });
    };
    for (A_long y = -m_guard; y < m_record.height + m_guard; ++y) {
        const std::byte* row = m_pixels.get() + (y + m_guard) * rowBytes;
        const auto where = [y] { return "row " + std::to_string(y); };
        if (y < 0 || y >= m_record.height) {
            if (!intact(row, rowBytes)) {
                return where();
            }
            continue;
        }
        if (!intact(row, left)) {
            return where() + ", left of the pixels";
        }
        if (!intact(row + right, rowBytes - right)) {
            return where() + ", right of the pixels";
        }
    }
    return std::nullopt;
}

std::optional<PixelDepth> registeredDepth(const PF_EffectWorld* world) {
    if (world == nullptr || world->data == nullptr) {
        return std::nullopt;
    }
    // The block tells the depth; the record's rows must then fit inside the block at that depth.
    const auto found = registry().find(world->data);
    if (!found) {
        return std::nullopt;
    }
    const auto extent = extentOf(*world, found->depth);
    if (!extent || *extent > found->bytesFrom) {
        return std::nullopt;
    }
    return found->depth;
}

} // namespace OfflineHost
