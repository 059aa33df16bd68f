#include "host/instance/StrictMode.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace OfflineHost {
namespace {

std::string describe(const World& world) {
    return std::to_string(world.width()) + "x" + std::to_string(world.height()) + " " +
           depthLabel(world.depth());
}

std::string commandName(PF_Cmd command) {
    switch (command) {
    case PF_Cmd_ABOUT:
        return "about";
    case PF_Cmd_GLOBAL_SETUP:
        return "global set-up";
    case PF_Cmd_GLOBAL_SETDOWN:
        return "global set-down";
    case PF_Cmd_PARAMS_SETUP:
        return "parameter set-up";
    case PF_Cmd_UPDATE_PARAMS_UI:
        return "parameter-UI update";
    case PF_Cmd_SMART_PRE_RENDER:
        return "smart pre-render";
    case PF_Cmd_SMART_RENDER:
        return "smart render";
    case PF_Cmd_COMPLETELY_GENERAL:
        return "general command";
    default:
        return "command " + std::to_string(command);
    }
}

// A render's output before the module writes it: a value a module has no reason to write, so
// that a pixel still holding it was not written. 16 bits: above the host's white (32768); float:
// a quiet NaN with a payload of its own; 8 bits has no value to spare, so transparent with
// colours no image is likely to hold.
std::array<std::byte, 16> poisonOf(PixelDepth depth) {
    std::array<std::byte, 16> pixel{};
    switch (depth) {
    case PixelDepth::Bits8: {
        const PF_Pixel p{0x00, 0xFE, 0x01, 0xFD};
        std::memcpy(pixel.data(), &p, sizeof p);
        break;
    }
    case PixelDepth::Bits16:
        pixel.fill(std::byte{0xFF});
        break;
    case PixelDepth::Float32:
        for (std::size_t c = 0; c < 4; ++c) {
            const std::uint32_t nan = 0x7FE5A5A5;
            std::memcpy(pixel.data() + 4 * c, &nan, sizeof nan);
        }
        break;
    }
    return pixel;
}

std::byte* pixelAt(World& world, A_long x, A_long y) {
    const auto& w = world.effectWorld();
    return reinterpret_cast<std::byte*>(w.data) + static_cast<std::ptrdiff_t>(y) * w.rowbytes +
           static_cast<std::ptrdiff_t>(x) * static_cast<std::ptrdiff_t>(pixelBytes(world.depth()));
}

// Whether two pixels hold the same bytes, compared a 32-bit word at a time (a pixel is 1, 2 or 4
// of them): memcmp, its size known only at run time, would be a call for every pixel.
bool samePixel(const std::byte* a, const std::byte* b, std::size_t bytes) {
    for (std::size_t at = 0; at < bytes; at += sizeof(std::uint32_t)) {
        std::uint32_t wordA = 0;
        std::uint32_t wordB = 0;
        std::memcpy(&wordA, a + at, sizeof wordA);
        std::memcpy(&wordB, b + at, sizeof wordB);
        if (wordA != wordB) {
            return false;
        }
    }
    return true;
}

void checkGuards(std::vector<std::string>& found, const World& world, const std::string& what) {
    if (const auto where = world.damagedGuard()) {
        found.push_back("a write outside " + what + " (" + describe(world) + "), in " + *where);
    }
}

// The first pixel where the module's copy of the input differs from the caller's.
std::optional<std::pair<A_long, A_long>> firstChange(World& copy, World& original) {
    const auto bytes = pixelBytes(copy.depth());
    for (A_long y = 0; y < copy.height(); ++y) {
        const std::byte* copied = pixelAt(copy, 0, y);
        const std::byte* kept = pixelAt(original, 0, y);
        for (A_long x = 0; x < copy.width(); ++x) {
            if (!samePixel(copied + x * bytes, kept + x * bytes, bytes)) {
                return std::make_pair(x, y);
            }
        }
    }
    return std::nullopt;
}

} // namespace

std::unique_ptr<World> StrictMode::newWorld(A_long width, A_long height, PixelDepth depth) const {
    return std::make_unique<World>(enabled ? World::guarded(width, height, depth)
                                           : World(width, height, depth));
}

void StrictMode::worldGoes(bool duringCommand, const World& world) {
    if (enabled && duringCommand) {
        checkGuards(m_found, world, "a world the module created");
    }
}

std::pair<World*, World*> StrictMode::beginRender(World* input, World* output) {
    if (!enabled || input == nullptr || output == nullptr) {
        return {input, output};
    }
    const auto guardedLike = [](const World& world) {
        const auto& w = world.effectWorld();
        const auto padding = w.rowbytes - w.width * static_cast<A_long>(pixelBytes(world.depth()));
        return World::guarded(w.width, w.height, world.depth(), padding, w.origin_x, w.origin_y);
    };
    m_callerInput = input;
    m_callerOutput = output;
    m_input.emplace(guardedLike(*input));
    m_output.emplace(guardedLike(*output));
    const auto bytes = pixelBytes(input->depth());
    for (A_long y = 0; y < input->height(); ++y) {
        std::memcpy(pixelAt(*m_input, 0, y), pixelAt(*input, 0, y), bytes * input->width());
    }
    const auto poison = poisonOf(output->depth());
    const auto outputBytes = pixelBytes(output->depth());
    for (A_long y = 0; y < output->height(); ++y) {
        std::byte* row = pixelAt(*m_output, 0, y);
        for (A_long x = 0; x < output->width(); ++x) {
            std::memcpy(row + x * outputBytes, poison.data(), outputBytes);
        }
    }
    return {&*m_input, &*m_output};
}

void StrictMode::endRender() {
    if (m_output && m_callerOutput != nullptr) {
        // A pixel the module did not write keeps the caller's, as without strict mode.
        const auto poison = poisonOf(m_output->depth());
        const auto bytes = pixelBytes(m_output->depth());
        for (A_long y = 0; y < m_output->height(); ++y) {
            const std::byte* written = pixelAt(*m_output, 0, y);
            std::byte* kept = pixelAt(*m_callerOutput, 0, y);
            for (A_long x = 0; x < m_output->width(); ++x) {
                if (!samePixel(written + x * bytes, poison.data(), bytes)) {
                    std::memcpy(kept + x * bytes, written + x * bytes, bytes);
                }
            }
        }
    }
    m_input.reset();
    m_output.reset();
    m_callerInput = nullptr;
    m_callerOutput = nullptr;
}

std::string StrictMode::afterCommand(const CommandEnd& end) {
    const PF_Cmd command = end.command;
    std::vector<std::string> found = std::exchange(m_found, {});
    if (!enabled) {
        return "";
    }
    if (m_input) {
        checkGuards(found, *m_input, "the input world");
        if (const auto at = firstChange(*m_input, *m_callerInput)) {
            found.push_back("a write into the input world (" + describe(*m_input) +
                            "), at pixel (" + std::to_string(at->first) + ", " +
                            std::to_string(at->second) + ")");
        }
    }
    if (m_output) {
        checkGuards(found, *m_output, "the output world");
    }
    // The pixels a render promised at pre-render, when it reports success.
    if (m_output && command == PF_Cmd_SMART_RENDER && end.result == PF_Err_NONE) {
        const auto& w = m_output->effectWorld();
        const PF_LRect& promised = end.promised;
        const auto poison = poisonOf(m_output->depth());
        const auto bytes = pixelBytes(m_output->depth());
        long unwritten = 0;
        std::string first;
        for (A_long y = 0; y < w.height; ++y) {
            const std::byte* row = pixelAt(*m_output, 0, y);
            for (A_long x = 0; x < w.width; ++x) {
                const A_long lx = w.origin_x + x;
                const A_long ly = w.origin_y + y;
                if (lx < promised.left || lx >= promised.right || ly < promised.top ||
                    ly >= promised.bottom || !samePixel(row + x * bytes, poison.data(), bytes)) {
                    continue;
                }
                if (unwritten++ == 0) {
                    first = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
                }
            }
        }
        if (unwritten > 0) {
            found.push_back(std::to_string(unwritten) + " pixels of the output world (" +
                            describe(*m_output) +
                            ") within the rectangle promised at pre-render left unwritten, the "
                            "first at " +
                            first);
        }
    }
    for (const World* world : end.createdWorlds) {
        checkGuards(found, *world, "a world the module created");
    }

    // What the module holds when the command ends; handles may outlive pre-render in its data,
    // and global set-up in the global data.
    const Account& held = end.held;
    if (!held.paramsNotCheckedIn.empty()) {
        std::string indices;
        for (const int index : held.paramsNotCheckedIn) {
            indices += (indices.empty() ? "" : ", ") + std::to_string(index);
        }
        found.push_back("parameters checked out and not checked in: " + indices);
    }
    for (const auto& suite : held.unreleasedSuites) {
        found.push_back("\"" + suite.name + "\" v" + std::to_string(suite.version) +
                        " acquired and not released (" + std::to_string(suite.count) + ")");
    }
    for (const auto& world : held.liveWorlds) {
        found.push_back("a world created and not disposed of (" + std::to_string(world.width) +
                        "x" + std::to_string(world.height) + " " + depthLabel(world.depth) + ")");
    }
    if (command != PF_Cmd_SMART_PRE_RENDER) {
        for (const auto& handle : held.liveHandles) {
            if (handle.handle != end.globalData) {
                found.push_back("a handle of " + std::to_string(handle.size) +
                                " bytes allocated and not disposed of");
            }
        }
    }
    if (found.empty()) {
        return "";
    }
    std::string text = end.effect + ", " + commandName(command) + ": ";
    for (std::size_t i = 0; i < found.size(); ++i) {
        text += (i == 0 ? "" : "; ") + found[i];
    }
    return text;
}

} // namespace OfflineHost
