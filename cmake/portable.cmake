# How the shipped Linux binaries link, in every preset that builds them as shipped: the C++ runtime
# and libgcc go inside quennet and the simulated library, so that at run time they need glibc and
# nothing else. That is also what keeps start-up at the floor: resolving libstdc++.so.6 alone costs
# more than the rest of quennet's start-up. Only these two targets: the tests link GoogleTest's
# shared library, which brings its own libstdc++.so.6, and two C++ runtimes in one process must not
# share objects.
#
# The release (scripts/release) builds the same way inside a Debian 11 root (cmake/bullseye.cmake),
# so that no glibc symbol newer than 2.31 gets in; this host's own build may need a newer glibc.
if(NOT WIN32 AND NOT QUENNET_SANITIZE AND NOT QUENNET_FUZZ)
  # The runtime's unused parts stay out, and so out of the pages a run touches.
  foreach(target quennet steam_api)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc -Wl,--gc-sections)
  endforeach()
endif()

