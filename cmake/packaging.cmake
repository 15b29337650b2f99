# What cmake --install puts into the release archives, in two components:
#
#   runtime  what a host application ships: quennet, README, LICENSE, the third-party notices and
#            docs/ (the protocol, the record schema);
#   testing  the simulated Steam library with its README and example scenarios, for a host's own
#            tests, under sim/ so that it can never land beside quennet by accident.
#
# scripts/archive.py installs each component into a folder of its own and packs it reproducibly,
# for example into quennet-0.1.0-windows-x64.zip and quennet-0.1.0-windows-x64-testing.zip; the
# release (scripts/release) and the host check of every test build (tests/host) both make them so.

install(TARGETS quennet RUNTIME DESTINATION . COMPONENT runtime)
install(FILES README.md LICENSE THIRD_PARTY_NOTICES.md DESTINATION . COMPONENT runtime)
install(DIRECTORY docs/ DESTINATION docs COMPONENT runtime)

install(FILES $<TARGET_FILE:steam_api> sim/README.md LICENSE THIRD_PARTY_NOTICES.md
        DESTINATION sim COMPONENT testing)
install(DIRECTORY sim/scenarios/ DESTINATION sim/scenarios COMPONENT testing FILES_MATCHING PATTERN "*.json")
