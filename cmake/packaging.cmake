# Installation and release archives (cmake --install, cpack), in two components:
#
#   runtime  what a host application ships: quennet, README, LICENSE, the third-party notices and
#            docs/ (the protocol, the record schema);
#   testing  the simulated Steam library with its README and example scenarios, for a host's own
#            tests, under sim/ so that it can never land beside quennet by accident.
#
# cpack writes one ZIP per component into <build>/package, for example
# quennet-0.1.0-windows-x64-runtime.zip and quennet-0.1.0-windows-x64-testing.zip. The release
# archives (scripts/release) hold the same files, installed with cmake --install and packed
# reproducibly by scripts/archive.py.

install(TARGETS quennet RUNTIME DESTINATION . COMPONENT runtime)
install(FILES README.md LICENSE THIRD_PARTY_NOTICES.md DESTINATION . COMPONENT runtime)
install(DIRECTORY docs/ DESTINATION docs COMPONENT runtime)

install(FILES $<TARGET_FILE:steam_api> sim/README.md LICENSE THIRD_PARTY_NOTICES.md
        DESTINATION sim COMPONENT testing)
install(DIRECTORY sim/scenarios/ DESTINATION sim/scenarios COMPONENT testing FILES_MATCHING PATTERN "*.json")

# The archives' names without the component, as scripts/release names them; tests/host checks the
# archives by it.
if(WIN32)
  set(QUENNET_PACKAGE_FILE_NAME quennet-${PROJECT_VERSION}-windows-x64)
else()
  set(QUENNET_PACKAGE_FILE_NAME quennet-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
endif()

set(CPACK_PACKAGE_NAME quennet)
set(CPACK_PACKAGE_VENDOR "the quennet developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_FILE_NAME ${QUENNET_PACKAGE_FILE_NAME})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_GENERATOR ZIP)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime testing)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
