# The release's Linux build: host CMake and Ninja drive Debian 11's compiler inside a Debian 11 root
# (cmake/bullseye-g++), so that the program and the simulated library run on glibc 2.31 and newer.
# scripts/release sets this up; it needs root for chroot.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/bullseye-g++)
