# `format-check` fails when a tracked C++ file differs from .clang-format; `format` rewrites them.
find_program(CLANG_FORMAT_PROGRAM clang-format)
if(CLANG_FORMAT_PROGRAM)
  file(GLOB_RECURSE FLUXARO_FORMAT_FILES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/*.cpp ${CMAKE_SOURCE_DIR}/src/*.h
    ${CMAKE_SOURCE_DIR}/tools/*.cpp ${CMAKE_SOURCE_DIR}/tools/*.h
    ${CMAKE_SOURCE_DIR}/tests/*.cpp ${CMAKE_SOURCE_DIR}/tests/*.h
    ${CMAKE_SOURCE_DIR}/bench/*.cpp ${CMAKE_SOURCE_DIR}/bench/*.h
    ${CMAKE_SOURCE_DIR}/fuzz/*.cpp ${CMAKE_SOURCE_DIR}/fuzz/*.h)
  add_custom_target(format-check
    COMMAND ${CLANG_FORMAT_PROGRAM} --dry-run --Werror ${FLUXARO_FORMAT_FILES}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    COMMENT "Checking the C++ layout against .clang-format")
  add_custom_target(format
    COMMAND ${CLANG_FORMAT_PROGRAM} -i ${FLUXARO_FORMAT_FILES}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
endif()
