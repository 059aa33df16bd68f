# Cross-compiles for Linux on arm64 with Debian's g++-aarch64-linux-gnu, so that the drawing tests
# run the module's arm64 code (the code Apple silicon runs, compiled by another compiler) under
# qemu-aarch64 on an x86-64 machine. Nothing of this build is shipped.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(ONDREL_ARM64_PREFIX aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${ONDREL_ARM64_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${ONDREL_ARM64_PREFIX}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${ONDREL_ARM64_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# qemu finds the arm64 C and C++ runtimes (the cross compiler's libc6 and libstdc++) under that root;
# GoogleTest lists a program's tests through it when the build finishes.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${ONDREL_ARM64_PREFIX})
