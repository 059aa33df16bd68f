#pragma once

// The page's files (cli/serve/page/), built into the command so that the page works with no
// files and no network beside the server. The build writes PageAssets.cpp from them.

#include <string_view>
#include <vector>

namespace OndrelCli {

struct PageAsset {
    std::string_view path; // as requested: "/", "/main.js"
    std::string_view contentType;
    std::string_view content;
};

const std::vector<PageAsset>& pageAssets();

} // namespace OndrelCli
