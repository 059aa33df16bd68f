// The HTTP server: on the loopback interface only, answering only requests that name it by its
// loopback address, refusing a port that is taken, and carrying the service's answers and
// refusals.

#include "cli/serve/PreviewServer.h"
#include "cli/serve/PageAssets.h"
#include "cli/serve/PreviewService.h"

#include "cli/core/CliError.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using OndrelCli::Json;

class PreviewServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = server.bind(0);
        serving = std::thread([this] { server.listen(); });
        while (!server.listening()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void TearDown() override {
        server.stop();
        serving.join();
    }
    httplib::Client client() const { return httplib::Client("127.0.0.1", port); }

    OndrelCli::PreviewService service{OndrelCli::GlobalOptions{ONDREL_MODULE_PATH}, std::nullopt};
    OndrelCli::PreviewServer server{service};
    int port = 0;
    std::thread serving;
};

// An IPv4 address of this machine other than loopback, if it has one.
std::optional<in_addr> otherAddress() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return std::nullopt;
    }
    std::optional<in_addr> found;
    for (const ifaddrs* a = list; a != nullptr && !found; a = a->ifa_next) {
        if (a->ifa_addr != nullptr && a->ifa_addr->sa_family == AF_INET) {
            const in_addr address = reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr;
            if ((ntohl(address.s_addr) >> 24) != 127) {
                found = address;
            }
        }
    }
    freeifaddrs(list);
    return found;
}

TEST_F(PreviewServerTest, ListensOnLoopbackOnly) {
    EXPECT_GT(port, 0);
    const auto address = otherAddress();
    if (!address) {
        GTEST_SKIP() << "this machine has no address but loopback";
    }
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr = *address;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &*address, text, sizeof text);
    EXPECT_NE(connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0)
        << "the server answered on " << text;
    close(s);
}

TEST_F(PreviewServerTest, RefusesAPortThatIsTaken) {
    OndrelCli::PreviewServer second(service);
    EXPECT_THROW(second.bind(port), OndrelCli::CliError);
    EXPECT_THROW(second.bind(65536), OndrelCli::CliError);
}

TEST_F(PreviewServerTest, AnswersOnlyRequestsThatNameItByItsLoopbackAddress) {
    auto c = client();
    const std::string ours = "127.0.0.1:" + std::to_string(port);
    const std::string named = "localhost:" + std::to_string(port);
    const struct {
        httplib::Headers headers;
        int status;
    } cases[] = {
        {{}, 200},
        {{{"Host", named}}, 200},
        {{{"Origin", "http://" + ours}}, 200},
        // Another site's page, or one reached through a name of its own that resolves here.
        {{{"Host", "rebound.example:" + std::to_string(port)}}, 403},
        {{{"Host", "127.0.0.1:1"}}, 403},
        {{{"Origin", "http://rebound.example"}}, 403},
        {{{"Origin", "null"}}, 403},
        // The scheme, host and port are read whole: seven characters cut off once let these in.
        {{{"Origin", "file://" + ours}}, 403},
        {{{"Origin", "https:/" + ours}}, 403},
        {{{"Origin", "http://" + ours + ".evil.example"}}, 403},
        {{{"Origin", "http://" + ours + "/"}}, 403},
    };
    for (const auto& k : cases) {
        const auto answer = c.Get("/api/effects", k.headers);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, k.status) << (k.headers.empty() ? "" : k.headers.begin()->second);
    }
}

// The paths a module's import statements (and re-exports) name, as a browser resolves them
// against the module's own path.
std::vector<std::string> importsOf(const std::string& module, const std::string& path) {
    static const std::regex statement(
        R"(^(?:import\s*(?:[\w$*{},\s]+?\s*from\s*)?|export\s*(?:\*(?:\s*as\s+[\w$]+)?|\{[^}]*\})\s*from\s*)["']([^"']+)["'])");
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    std::vector<std::string> found;
    for (std::size_t line = 0; line < module.size();) {
        std::smatch m;
        if (std::regex_search(module.cbegin() + static_cast<std::ptrdiff_t>(line), module.cend(), m,
                              statement, std::regex_constants::match_continuous)) {
            const std::string specifier = m[1];
            if (specifier.starts_with("./")) {
                found.push_back(folder + specifier.substr(2));
            } else if (specifier.starts_with("/") && !specifier.starts_with("//")) {
                found.push_back(specifier);
            } else {
                ADD_FAILURE() << path << " imports " << specifier << ", which the page cannot load";
            }
        }
        const std::size_t end = module.find('\n', line);
        line = end == std::string::npos ? module.size() : end + 1;
    }
    return found;
}

// A module the server lacks, or serves as anything but JavaScript, is a page the browser does not
// run at all; one it serves that nothing imports is a file left over.
TEST_F(PreviewServerTest, ServesThePageModuleAndEveryModuleItImports) {
    auto c = client();
    const auto page = c.Get("/");
    ASSERT_TRUE(page);
    const std::string tag = "<script type=\"module\" src=\"";
    const auto at = page->body.find(tag);
    ASSERT_NE(at, std::string::npos) << page->body;
    const auto from = at + tag.size();
    std::vector<std::string> waiting{page->body.substr(from, page->body.find('"', from) - from)};
    EXPECT_EQ(waiting.front(), "/main.js");
    std::set<std::string> loaded;
    while (!waiting.empty()) {
        const std::string path = waiting.back();
        waiting.pop_back();
        if (!loaded.insert(path).second) {
            continue;
        }
        const auto module = c.Get(path);
        ASSERT_TRUE(module) << path;
        ASSERT_EQ(module->status, 200) << path;
        EXPECT_EQ(module->get_header_value("Content-Type"), "text/javascript; charset=utf-8")
            << path;
        for (const std::string& imported : importsOf(module->body, path)) {
            waiting.push_back(imported);
        }
    }
    std::set<std::string> scripts;
    for (const OndrelCli::PageAsset& asset : OndrelCli::pageAssets()) {
        if (asset.contentType.starts_with("text/javascript")) {
            scripts.emplace(asset.path);
        }
    }
    EXPECT_EQ(loaded, scripts);
}

TEST_F(PreviewServerTest, CarriesPreviewsAndRefusals) {
    auto c = client();
    const auto page = c.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(c.Get("/nothing")->status, 404);

    const Json request{{"recipe", {{"effect", "OndrelLine"}, {"size", "30x20"}}}};
    const auto preview = c.Post("/api/preview", request.dump(), "application/json");
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->status, 200);
    EXPECT_EQ(preview->get_header_value("X-Width"), "30");
    EXPECT_EQ(preview->get_header_value("X-Height"), "20");
    EXPECT_EQ(preview->body.size(), 30u * 20 * 4);

    const auto notJson = c.Post("/api/preview", "{\"recipe\":", "application/json");
    ASSERT_TRUE(notJson);
    EXPECT_EQ(notJson->status, 400);
    EXPECT_EQ(Json::parse(notJson->body)["error"],
              "the request is not JSON: line 1: the text ends before the JSON does");

    const auto unknown = c.Get("/api/controls?effect=OndrelSquare");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 400);
    EXPECT_NE(Json::parse(unknown->body)["error"].get<std::string>().find("no effect"),
              std::string::npos);

    // The page's starting recipe (none here), and a recipe file the page opened, read by the
    // recipe reader: refused with its message, or answered with the work it sets.
    const auto start = c.Get("/api/start");
    ASSERT_TRUE(start);
    EXPECT_EQ(start->status, 200);
    EXPECT_EQ(Json::parse(start->body), (Json{{"recipe", nullptr}}));
    const auto open = [&](const std::string& text) {
        return c.Post("/api/open", Json{{"name", "shot.json"}, {"text", text}}.dump(),
                      "application/json");
    };
    const auto bad = open("{\"effect\": \"OndrelLine\",\n\"fps\": \"fast\"}");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 400);
    EXPECT_EQ(Json::parse(bad->body)["error"].get<std::string>().substr(0, 13), "shot.json:2: ");
    const auto good = open("{\"effect\": \"OndrelLine\", \"params\": {\"Thickness\": 7}}");
    ASSERT_TRUE(good);
    EXPECT_EQ(good->status, 200);
    EXPECT_EQ(Json::parse(good->body)["params"], (Json{{"Thickness", {{"value", "7"}}}}));
    EXPECT_EQ(c.Get("/api/open")->status, 405);
    EXPECT_EQ(c.Post("/api/start", "{}", "application/json")->status, 405);

    // More than a recipe could ever need is refused before it is read.
    const auto huge = c.Post("/api/state", std::string(2 << 20, ' '), "application/json");
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->status, 413);
}

} // namespace
