# The Python package's tests, included by tests/host: pytest against the Linux build and the
# simulated Steam, mypy --strict for Python 3.8 over the package and its example host, and a wheel
# made by the release's own code, installed into a fresh venv and run from there. Debian's python3
# carries python3-pytest and mypy (scripts/bootstrap installs them), which another python3 first on
# PATH may lack; a test whose tool is missing reports itself skipped (77).

set(PYTHON_CLIENT ${PROJECT_SOURCE_DIR}/clients/python)
set(PYTHON_CLIENT_WORK ${CMAKE_BINARY_DIR}/clients/python)
find_program(QUENNET_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT QUENNET_SYSTEM_PYTHON)
  set(QUENNET_SYSTEM_PYTHON ${Python3_EXECUTABLE})
endif()
# Runs `$0 -m <module> ...` when that Python has the module, else reports a skip.
set(PYTHON_WITH_MODULE
  "module=$1; shift; \"$0\" -c \"import $module\" 2>/dev/null || { echo \"skip: $0 has no $module (scripts/bootstrap installs it)\"; exit 77; }; exec \"$0\" -m \"$module\" \"$@\"")

file(MAKE_DIRECTORY ${PYTHON_CLIENT_WORK})
if(NOT WIN32)
  add_test(NAME python.api
    COMMAND sh -c "${PYTHON_WITH_MODULE}" ${QUENNET_SYSTEM_PYTHON} pytest -q -p no:cacheprovider
            --basetemp=${PYTHON_CLIENT_WORK}/api ${PYTHON_CLIENT}/tests)
  set_tests_properties(python.api PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 ENVIRONMENT
    "PYTHONPATH=${PYTHON_CLIENT};PYTHONDONTWRITEBYTECODE=1;QUENNET_TEST_EXE=$<TARGET_FILE:quennet>;QUENNET_TEST_SIM_LIBRARY=$<TARGET_FILE:steam_api>;QUENNET_TEST_SCENARIOS=${PROJECT_SOURCE_DIR}/sim/scenarios")
endif()

# Neither depends on how quennet was built: once is enough.
if(NOT WIN32 AND NOT QUENNET_SANITIZE)
  add_test(NAME python.types
    COMMAND sh -c "${PYTHON_WITH_MODULE}" ${QUENNET_SYSTEM_PYTHON} mypy --strict --python-version 3.8
            --cache-dir ${PYTHON_CLIENT_WORK}/mypy-cache ${PYTHON_CLIENT}/quennet
            ${PROJECT_SOURCE_DIR}/examples/python-host/host.py)
  set_tests_properties(python.types PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "MYPYPATH=${PYTHON_CLIENT}")

  add_test(NAME python.wheel
    COMMAND sh ${PYTHON_CLIENT}/tests/check_wheel.sh ${QUENNET_SYSTEM_PYTHON} ${PYTHON_CLIENT_WORK}/wheel
            ${QUENNET_GENUINE_DIR}/libsteam_api.so)
  set_tests_properties(python.wheel PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 ENVIRONMENT
    "PYTHONDONTWRITEBYTECODE=1;QUENNET_TEST_EXE=$<TARGET_FILE:quennet>;QUENNET_TEST_SIM_LIBRARY=$<TARGET_FILE:steam_api>")
endif()
