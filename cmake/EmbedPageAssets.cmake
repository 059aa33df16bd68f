# Writes a C++ source that holds files as byte arrays, for PageAssets.h. Run as a script:
#   cmake -DOUTPUT=PageAssets.cpp -DFILES=index.html,main.js -DFOLDER=dir -P this
# Each comma-separated entry of FILES names a file in FOLDER, served at /NAME (index.html at /);
# the content type follows the file's extension.
set(types_html "text/html; charset=utf-8")
set(types_js "text/javascript; charset=utf-8")
set(types_css "text/css; charset=utf-8")

set(arrays "")
set(entries "")
set(n 0)
string(REPLACE "," ";" FILES "${FILES}")
foreach(file ${FILES})
    if(file STREQUAL "index.html")
        set(path "/")
    else()
        set(path "/${file}")
    endif()
    get_filename_component(extension "${file}" LAST_EXT)
    string(SUBSTRING "${extension}" 1 -1 extension)
    if(NOT DEFINED types_${extension})
        message(FATAL_ERROR "no content type for ${file}")
    endif()
    file(READ "${FOLDER}/${file}" hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND arrays "const unsigned char asset${n}[] = {${bytes}};\n")
    string(APPEND entries
        "        {\"${path}\", \"${types_${extension}}\", {reinterpret_cast<const char*>(asset${n}), ${size}}},\n")
    math(EXPR n "${n} + 1")
endforeach()

file(WRITE "${OUTPUT}.new" "// Written by cmake/EmbedPageAssets.cmake from cli/serve/page/; do not edit.
#include \"cli/serve/PageAssets.h\"

namespace OndrelCli {
namespace {
${arrays}} // namespace

const std::vector<PageAsset>& pageAssets() {
    static const std::vector<PageAsset> assets = {
${entries}    };
    return assets;
}

} // namespace OndrelCli
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
