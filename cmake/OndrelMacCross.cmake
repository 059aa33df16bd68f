# Cross-builds the macOS plug-in bundle for one architecture, ONDREL_MAC_ARCH (x86_64 or arm64),
# on Linux: Zig's clang compiles against Zig's libc++ and macOS headers (tools/build/macos/zig-c++,
# pinned through npm), and LLVM's ld64.lld links the bundle, with Zig's C++ runtime linked in and
# libSystem as the only library it loads (OndrelMacCrossLink.cmake). `make mac` builds both
# architectures and joins them into one universal bundle.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 20.1.0) # the kernel of macOS 11
set(CMAKE_SYSTEM_PROCESSOR ${ONDREL_MAC_ARCH})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ONDREL_MAC_ARCH)

# The oldest macOS the bundle loads on: Zig's macOS headers compile nothing older.
set(ONDREL_MAC_MIN_VERSION 11.0)
if(ONDREL_MAC_ARCH STREQUAL "x86_64")
    set(ONDREL_MAC_TARGET x86_64-macos.${ONDREL_MAC_MIN_VERSION})
elseif(ONDREL_MAC_ARCH STREQUAL "arm64")
    set(ONDREL_MAC_TARGET aarch64-macos.${ONDREL_MAC_MIN_VERSION})
else()
    message(FATAL_ERROR "ONDREL_MAC_ARCH is '${ONDREL_MAC_ARCH}', not x86_64 or arm64")
endif()

cmake_path(SET CMAKE_CXX_COMPILER NORMALIZE ${CMAKE_CURRENT_LIST_DIR}/../tools/build/macos/zig-c++)
set(CMAKE_CXX_COMPILER_TARGET ${ONDREL_MAC_TARGET})
# LLVM's tools, the newest installed of version 16 or later (lld 14 cannot link the bundle): Debian
# 12's LLVM 16, Debian 13's LLVM 19.
function(ondrel_llvm_tool variable name)
    execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../tools/build/llvm-tool.sh ${name} 16
        OUTPUT_VARIABLE tool OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_VARIABLE message
        RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${message}")
    endif()
    set(${variable} ${tool} CACHE FILEPATH "LLVM's ${name}, for the macOS cross build")
endfunction()
ondrel_llvm_tool(CMAKE_LINKER ld64.lld)
ondrel_llvm_tool(CMAKE_AR llvm-ar)
ondrel_llvm_tool(CMAKE_RANLIB llvm-ranlib)
ondrel_llvm_tool(CMAKE_INSTALL_NAME_TOOL llvm-install-name-tool)
# Checks compile without linking: Zig links executables, but only ld64.lld links the bundle.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_USER_MAKE_RULES_OVERRIDE_CXX ${CMAKE_CURRENT_LIST_DIR}/OndrelMacCrossLink.cmake)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
