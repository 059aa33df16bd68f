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
        std::lock_guard lock(_mutex);
        _blocks[address(begin)] = Block{address(begin) + bytes, depth};
    }
    void remove(const std::byte* begin) {
        std::lock_guard lock(_mutex);
        _blocks.erase(address(begin));
    }
    struct Found {
        PixelDepth depth;
        std::size_t bytesFrom; // bytes from the address to the block's end
    };
    // The block holding the byte at p.
    std::optional<Found> find(const void* p) const {
        std::lock_guard lock(_mutex);
        auto it = _blocks.upper_bound(address(p));
        if (it == _blocks.begin()) {
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
    mutable std::mutex _mutex;
    std::map<std::uintptr_t, Block> _blocks;
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
    : _depth(depth), _guard(guard) {
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
    _bytes = std::max<std::size_t>(
        static_cast<std::size_t>(rowBytes) * (static_cast<std::size_t>(height) + 2 * guard), 1);
    _pixels = std::make_unique<std::byte[]>(_bytes);
    std::byte* first = _pixels.get() + guard * rowBytes + guard * pixel;
    if (guard > 0) {
        std::memset(_pixels.get(), guardByte, _bytes);
        for (A_long y = 0; y < height; ++y) {
            std::memset(first + y * rowBytes, 0, static_cast<std::size_t>(width * pixel));
        }
    }

    _record.world_flags = PF_WorldFlag_WRITEABLE;
    if (depth == PixelDepth::Bits16) {
        _record.world_flags |= PF_WorldFlag_DEEP;
    }
    _record.data = reinterpret_cast<PF_PixelPtr>(first);
    _record.rowbytes = static_cast<A_long>(rowBytes);
    _record.width = width;
    _record.height = height;
    _record.extent_hint = {0, 0, width, height};
    _record.pix_aspect_ratio = {1, 1};
    _record.origin_x = originX;
    _record.origin_y = originY;
    registry().add(_pixels.get(), _bytes, depth);
}

World::World(World&& other) noexcept
    : _depth(other._depth), _guard(other._guard), _pixels(std::move(other._pixels)),
      _bytes(other._bytes), _record(other._record) {
    other._bytes = 0;
    other._record = PF_EffectWorld{};
}

World& World::operator=(World&& other) noexcept {
    if (this != &other) {
        _release();
        _depth = other._depth;
        _guard = other._guard;
        _pixels = std::move(other._pixels);
        _bytes = other._bytes;
        _record = other._record;
        other._bytes = 0;
        other._record = PF_EffectWorld{};
    }
    return *this;
}

World::~World() {
    _release();
}

void World::_release() noexcept {
    if (_pixels) {
        registry().remove(_pixels.get());
        _pixels.reset();
    }
}

std::byte* World::_address(A_long x, A_long y, PixelDepth expected) {
    if (expected != _depth) {
        throw HostError("pixel type does not match the world's depth");
    }
    if (!_pixels || x < 0 || y < 0 || x >= _record.width || y >= _record.height) {
        throw HostError("pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                        ") lies outside the " + std::to_string(_record.width) + " x " +
                        std::to_string(_record.height) + " world");
    }
    return reinterpret_cast<std::byte*>(_record.data) +
           static_cast<std::ptrdiff_t>(y) * _record.rowbytes +
           static_cast<std::ptrdiff_t>(x) * static_cast<std::ptrdiff_t>(pixelBytes(_depth));
}

std::optional<std::string> World::damagedGuard() const {
    if (_guard == 0 || !_pixels) {
        return std::nullopt;
    }
    const auto pixel = static_cast<std::ptrdiff_t>(pixelBytes(_depth));
    const std::ptrdiff_t rowBytes = _record.rowbytes;
    const std::ptrdiff_t left = _guard * pixel;
    const std::ptrdiff_t right = left + _record.width * pixel;
    const auto intact = [](const std::byte* from, std::ptrdiff_t bytes) {
        return std::all_of(from, from + bytes,
                           [](std::byte b) { return b == std::byte{guardByte}; });
    };
    for (A_long y = -_guard; y < _record.height + _guard; ++y) {
        const std::byte* row = _pixels.get() + (y + _guard) * rowBytes;
        const std::string where = "row " + std::to_string(y);
        if (y < 0 || y >= _record.height) {
            if (!intact(row, rowBytes)) {
                return where;
            }
            continue;
        }
        if (!intact(row, left)) {
            return where + ", left of the pixels";
        }
        if (!intact(row + right, rowBytes - right)) {
            return where + ", right of the pixels";
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
