#include "FilterHost.h"

#include "AE_EffectCBSuites.h"
#include "AE_GeneralPlug.h"
#include "SPBasic.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

using Ondrel::getSegmentedRegion;
using Ondrel::Layer;
using Ondrel::Rect;

// The first row of band index of count for a layer of the given height, by the band rule
// h * index / count (integer division).
int bandTop(int height, int index, int count) {
    return height * index / count;
}

TEST(SegmentedRegion, OneBandIsTheWholeRectangle) {
    EXPECT_EQ(getSegmentedRegion(Rect(3, 4, 20, 11), 0, 1, 0), Rect(3, 4, 20, 11));
    EXPECT_EQ(getSegmentedRegion(Rect(3, 4, 20, 11), 0, 1, 1), Rect(3, 4, 20, 11));
}

TEST(SegmentedRegion, MoreBandsThanRowsGivesEmptyBands) {
    const Rect r(0, 0, 5, 2);
    EXPECT_EQ(getSegmentedRegion(r, 0, 4, 0), Rect(0, 0, 5, 0));
    EXPECT_EQ(getSegmentedRegion(r, 1, 4, 0), Rect(0, 0, 5, 1));
    EXPECT_EQ(getSegmentedRegion(r, 2, 4, 0), Rect(0, 1, 5, 1));
    EXPECT_EQ(getSegmentedRegion(r, 3, 4, 0), Rect(0, 1, 5, 2));
}

// Rows and columns: consecutive bands abut, they tile the rectangle, and their sizes differ by at
// most one.
TEST(SegmentedRegion, BandsTileTheRectangleInEitherDirection) {
    for (int count = 1; count <= 9; ++count) {
        for (const Rect r : {Rect(0, 0, 7, 13), Rect(-4, 10, 3, 11), Rect(2, 5, 31, 5)}) {
            int previousEnd = r.top;
            int previousColumnEnd = r.left;
            int smallest = r.getHeight() + 1;
            int largest = -1;
            for (int i = 0; i < count; ++i) {
                const Rect rows = getSegmentedRegion(r, i, count, 0);
                EXPECT_EQ(rows.left, r.left);
                EXPECT_EQ(rows.right, r.right);
                EXPECT_EQ(rows.top, previousEnd);
                EXPECT_EQ(rows.top, r.top + bandTop(r.getHeight(), i, count));
                previousEnd = rows.bottom;
                smallest = std::min(smallest, rows.getHeight());
                largest = std::max(largest, rows.getHeight());

                const Rect columns = getSegmentedRegion(r, i, count, 1);
                EXPECT_EQ(columns.top, r.top);
                EXPECT_EQ(columns.bottom, r.bottom);
                EXPECT_EQ(columns.left, previousColumnEnd);
                previousColumnEnd = columns.right;
            }
            EXPECT_EQ(previousEnd, r.bottom);
            EXPECT_EQ(previousColumnEnd, r.right);
            EXPECT_LE(largest - smallest, 1);
        }
    }
}

TEST(SegmentedRegion, NoBandsGiveAnEmptyRectangle) {
    EXPECT_TRUE(getSegmentedRegion(Rect(0, 0, 4, 4), 0, 0, 0).isEmpty());
    EXPECT_TRUE(getSegmentedRegion(Rect(0, 0, 4, 4), 0, -2, 1).isEmpty());
}

// ---------------------------------------------------------------------------------------------
// A drawer that paints each pixel of its band: red = band index, green = band count, alpha =
// number of visits. All bands first meet at a rendezvous, so they paint at the same time on
// different threads, and overlapping bands would be a data race.

class BandPainter {
public:
    explicit BandPainter(int expectedBands) : m_expected(expectedBands) {}

    void execute(const std::string& name, Layer& source, Layer& destination, int index,
                 int count) const {
        _meet(name, &source, std::this_thread::get_id());
        const Ondrel::PixelView<PF_Pixel> view = destination.getPixels<PF_Pixel>();
        const Rect band = getSegmentedRegion(destination.getSize(), index, count, 0);
        for (int y = band.top; y < band.bottom; ++y) {
            for (int x = band.left; x < band.right; ++x) {
                PF_Pixel& p = view.row(y)[x];
                p.red = static_cast<A_u_char>(index);
                p.green = static_cast<A_u_char>(count);
                ++p.alpha;
            }
        }
    }

    int arrived() const {
        std::lock_guard lock(m_mutex);
        return m_arrived;
    }
    std::set<std::thread::id> threads() const {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }
    std::set<std::string> names() const {
        std::lock_guard lock(m_mutex);
        return m_names;
    }
    std::set<const Layer*> sources() const {
        std::lock_guard lock(m_mutex);
        return m_sources;
    }

private:
    // Waits until every band has arrived; the bound only keeps a broken host from hanging the
    // test, which then fails on the number of bands that met.
    void _meet(const std::string& name, const Layer* source, std::thread::id thread) const {
        std::unique_lock lock(m_mutex);
        ++m_arrived;
        m_names.insert(name);
        m_sources.insert(source);
        m_threads.insert(thread);
        m_allArrived.notify_all();
        m_allArrived.wait_for(lock, std::chrono::seconds(30),
                              [this] { return m_arrived >= m_expected; });
    }

    int m_expected;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_allArrived;
    mutable int m_arrived = 0;
    mutable std::set<std::thread::id> m_threads;
    mutable std::set<std::string> m_names;
    mutable std::set<const Layer*> m_sources;
};

class IterateFilterTest : public ::testing::Test, protected FilterTests::HostFixture {
protected:
    OfflineHost::World m_sourceWorld{1, 1, OfflineHost::PixelDepth::Bits8};
    Layer m_source{in(), out(), &m_sourceWorld.effectWorld(), Ondrel::bpc8};
};

TEST_F(IterateFilterTest, DrawsEveryBandExactlyOnceOnSeveralThreadsAtOnce) {
    for (const int threads : {1, 3, 4, 6}) {
        for (const int height : {2, 5, 17}) {
            m_host.setThreadCount(threads);
            Layer destination(in(), out(), 3, height, Ondrel::bpc8);
            const BandPainter painter(threads);

            ASSERT_EQ(Ondrel::IterateFilter(in(), "draw", m_source, destination, painter),
                      PF_Err_NONE);

            EXPECT_EQ(painter.arrived(), threads);
            EXPECT_EQ(painter.threads().size(), static_cast<std::size_t>(threads));
            EXPECT_EQ(painter.names(), std::set<std::string>{"draw"});
            EXPECT_EQ(painter.sources(), std::set<const Layer*>{&m_source});
            const Ondrel::PixelView<PF_Pixel> view = destination.getPixels<PF_Pixel>();
            for (int y = 0; y < height; ++y) {
                int band = 0;
                while (bandTop(height, band + 1, threads) <= y) {
                    ++band;
                }
                for (int x = 0; x < 3; ++x) {
                    const PF_Pixel p = view.row(y)[x];
                    EXPECT_EQ(p.alpha, 1) << "visits of " << x << "," << y;
                    EXPECT_EQ(p.red, band) << x << "," << y;
                    EXPECT_EQ(p.green, threads);
                }
            }
        }
    }
}

TEST_F(IterateFilterTest, ReturnsTheHostsErrors) {
    const BandPainter painter(1);
    Layer destination(in(), out(), 2, 2, Ondrel::bpc8);

    m_host.diagnostics().failCall("AEGP_GetNumThreads", 7);
    EXPECT_EQ(Ondrel::IterateFilter(in(), "draw", m_source, destination, painter), 7);
    EXPECT_EQ(painter.arrived(), 0);
    m_host.diagnostics().clearFaults();

    m_host.diagnostics().failCall("iterate_generic", 8);
    EXPECT_EQ(Ondrel::IterateFilter(in(), "draw", m_source, destination, painter), 8);
    EXPECT_EQ(painter.arrived(), 0);
}

TEST_F(IterateFilterTest, MissingIterateSuitesAreThrown) {
    const BandPainter painter(1);
    Layer destination(in(), out(), 2, 2, Ondrel::bpc8);
    for (const auto& [name, version] :
         {std::pair{"AEGP Iterate Suite", 1}, std::pair{"PF Iterate8 Suite", 1}}) {
        m_host.diagnostics().clearFaults();
        m_host.diagnostics().hideSuite(name, version);
        int thrown = 0;
        try {
            Ondrel::IterateFilter(in(), "draw", m_source, destination, painter);
        } catch (int code) {
            thrown = code;
        }
        EXPECT_EQ(thrown, PF_Err_BAD_CALLBACK_PARAM) << name;
    }
    EXPECT_EQ(painter.arrived(), 0);
    // The destination holds the world suite its world came from until it goes.
    for (const auto& suite : m_host.diagnostics().account().unreleasedSuites) {
        EXPECT_EQ(suite.name, "PF World Suite") << "left acquired";
    }
}

// A host that reports no worker threads still gets the layer drawn, as one band.
struct NoThreads {
    static inline SPBasicSuite* hostBasic = nullptr;
    static A_Err count(A_long* threads) {
        *threads = 0;
        return 0;
    }
    static inline AEGP_IterateSuite1 suite{&count, nullptr};
    static SPErr acquire(const char* name, int32 version, const void** out) {
        if (std::strcmp(name, "AEGP Iterate Suite") == 0 && version == 1) {
            *out = &suite;
            return 0;
        }
        return hostBasic->AcquireSuite(name, version, out);
    }
    static SPErr release(const char* name, int32 version) {
        return std::strcmp(name, "AEGP Iterate Suite") == 0
                   ? 0
                   : hostBasic->ReleaseSuite(name, version);
    }
};

TEST_F(IterateFilterTest, AHostWithoutThreadsGetsOneBand) {
    NoThreads::hostBasic = in()->pica_basicP;
    SPBasicSuite basic = *in()->pica_basicP;
    basic.AcquireSuite = &NoThreads::acquire;
    basic.ReleaseSuite = &NoThreads::release;
    in()->pica_basicP = &basic;
    Layer destination(in(), out(), 2, 3, Ondrel::bpc8);
    const BandPainter painter(1);

    const PF_Err err = Ondrel::IterateFilter(in(), "draw", m_source, destination, painter);
    in()->pica_basicP = NoThreads::hostBasic;

    EXPECT_EQ(err, PF_Err_NONE);
    EXPECT_EQ(painter.arrived(), 1);
    EXPECT_EQ(destination.getPixels<PF_Pixel>().row(2)[1].alpha, 1);
}

} // namespace
