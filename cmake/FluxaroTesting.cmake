# fluxaro_add_test(NAME SOURCES <files...> [LIBS <targets...>] [ENV <VAR=value...>]
#                  [TIMEOUT <seconds>] [COST <seconds>] [LABELS <labels...>])
# One GoogleTest program per unit, registered with CTest test by test. COST is the expected time
# of its longest test: ctest -j starts the costliest first, so a long one runs beside the rest
# instead of alone at the end (a fresh build folder has no record of earlier times).
function(fluxaro_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT;COST" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock Threads::Threads)
  if(NOT T_SOURCES MATCHES "test_main")
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # sharedTestData.h: where the real files shared with the project are.
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    FLUXARO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    FLUXARO_BINARY_DIR="${CMAKE_BINARY_DIR}"
    FLUXARO_RESOURCE_DIR="${FLUXARO_RESOURCE_DIR}"
    FLUXARO_TOOLS_DIR="${FLUXARO_TOOLS_DIR}"
    FLUXARO_BIN_DIR="${FLUXARO_BIN_DIR}"
    FLUXARO_VERSION_STR="${PROJECT_VERSION}")
  fluxaro_warnings(${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(env QT_QPA_PLATFORM=offscreen ${T_ENV})
  set(cost)
  if(T_COST)
    set(cost COST ${T_COST})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} ${cost} ENVIRONMENT "${env}" LABELS "${T_LABELS}")
endfunction()
